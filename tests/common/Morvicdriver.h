#pragma once
// Drives the whole converter program in one process: the notification area
// is played by a double whose state the test reads, and the main window is
// made and found by its control names as a test needs it.
#include "Fmorvic.h"
#include "Trayicon.h"

#include <QAction>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStringList>

#include <memory>

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
