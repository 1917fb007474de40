#include "Deferredicon.h"

#include <QIconEngine>

namespace {

class TDeferredIconEngine : public QIconEngine
{
public:
    explicit TDeferredIconEngine(std::function<QIcon()> make) : FMake(std::move(make)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        // The rectangle comes already fitted to actualSize() and aligned.
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return Icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().availableSizes(mode, state);
    }
    void addPixmap(const QPixmap& pixmap, QIcon::Mode mode, QIcon::State state) override
    {
        Icon().addPixmap(pixmap, mode, state);
    }
    void addFile(const QString& fileName, const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        Icon().addFile(fileName, size, mode, state);
    }
    QString iconName() override { return Icon().name(); }
    bool isNull() override { return Icon().isNull(); }
    QString key() const override { return QStringLiteral("TDeferredIconEngine"); }
    // QIcon asks isNull() before it clones (to change one of its copies), so
    // a clone takes the icon already made.
    QIconEngine* clone() const override
    {
        auto* copy = new TDeferredIconEngine(FMake);
        copy->FIcon = FIcon;
        return copy;
    }

private:
    QIcon& Icon()
    {
        if (FMake) {
            FIcon = FMake();
            FMake = nullptr;
        }
        return FIcon;
    }

    std::function<QIcon()> FMake;
    QIcon FIcon;
};

} // namespace

QIcon DeferredIcon(std::function<QIcon()> make)
{
    return QIcon(new TDeferredIconEngine(std::move(make)));
}
