#pragma once
// Drives the whole converter program in one process: the notification area
// is played by a double whose state the test reads, and the main window is
// made and found by its control names as a test needs it; its settings file
// is read and seeded directly.
#include "Fmorvic.h"
#include "Trayicon.h"
#include "kvparam.h"

#include <QAction>
#include <QLineEdit>
#include <QList>
#include <QPair>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStringList>

#include <memory>

// The window's settings file. Asked once: asking constructs a settings
// object, and that would save whatever an earlier failed save left pending.
inline QString SettingsFile()
{
    static const QString path = ParamFilePath(MorvicSettingsName, MorvicSettingsName, 1);
    return path;
}

// Stores values as an earlier run would have left them.
inline void SeedSettings(const QList<QPair<const char*, int>>& values)
{
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    for (const auto& [name, value] : values)
        settings.setValue(QLatin1String(name), value);
    settings.sync();
}

inline QVariant Setting(const char* name)
{
    return QSettings(SettingsFile(), QSettings::IniFormat).value(QLatin1String(name));
}

// What the notification area has seen.
struct TAreaState
{
    bool Available = true;
    int Adds = 0;
    int Removes = 0;
    bool Showing = false;
};

class TFakeArea : public TTrayIconHost
{
public:
    explicit TFakeArea(std::shared_ptr<TAreaState> state) : FState(std::move(state)) {}
    bool AreaAvailable() override { return FState->Available; }
    bool Add(const TNotifyIconData&) override
    {
        ++FState->Adds;
        FState->Showing = true;
        return true;
    }
    bool Remove(const TNotifyIconData&) override
    {
        ++FState->Removes;
        FState->Showing = false;
        return true;
    }

private:
    std::shared_ptr<TAreaState> FState;
};

class TMorvicDriver
{
protected:
    std::shared_ptr<TAreaState> FArea;
    std::unique_ptr<TFormMorvic> FForm;
    std::unique_ptr<QSignalSpy> FEnded;

    // Every window made from now on gets a fresh notification-area double.
    void UseFakeArea()
    {
        FArea = std::make_shared<TAreaState>();
        std::shared_ptr<TAreaState> area = FArea;
        TFormMorvic::SetTrayHostFactory([area] { return std::make_unique<TFakeArea>(area); });
    }

    void EndProgram()
    {
        FEnded.reset();
        FForm.reset();
        TFormMorvic::SetTrayHostFactory(nullptr);
    }

    TFormMorvic* Start(const QStringList& arguments = {QStringLiteral("tarvolin")})
    {
        FForm = std::make_unique<TFormMorvic>(arguments);
        FEnded = std::make_unique<QSignalSpy>(FForm.get(), &TFormMorvic::Ended);
        return FForm.get();
    }
    QAction* Action(const char* name) const { return FForm->findChild<QAction*>(name); }
    QSpinBox* Spinner() const { return FForm->findChild<QSpinBox*>("UpDownPadHex"); }
    QLineEdit* Field(const char* name) const { return FForm->findChild<QLineEdit*>(name); }
    bool Ended() const { return FEnded->count() == 1; }
};
