#include "Deferredicon.h"

#include <QCoreApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <memory>

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

// What make returned, held until the event loop next runs.
struct TRemadeIconCache
{
    std::function<QImage()> Make;
    QImage Image;
    bool Held = false;
};

// The pixmaps are made here rather than by an icon of the image: Qt's own
// icons keep every pixmap they hand out in the application's pixmap cache,
// which would hold the pixels this icon exists to let go.
class TRemadeIconEngine : public QIconEngine
{
public:
    explicit TRemadeIconEngine(std::shared_ptr<TRemadeIconCache> cache) : FCache(std::move(cache)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        if (FChanged) {
            FOwn.paint(painter, rect, Qt::AlignCenter, mode, state);
            return;
        }
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        QPixmap pm = pixmap(rect.size() * ratio, mode, state);
        pm.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect.topLeft(), pm);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        if (FChanged)
            return FOwn.actualSize(size, mode, state);
        QSize actual = Image().size();
        if (actual.width() > size.width() || actual.height() > size.height())
            actual.scale(size, Qt::KeepAspectRatio);
        return actual;
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        if (FChanged)
            return FOwn.pixmap(size, mode, state);
        const QImage image = Image();
        if (image.isNull())
            return QPixmap();
        const QSize actual = actualSize(size, mode, state);
        QPixmap pm = QPixmap::fromImage(
            actual == image.size() ? image : image.scaled(actual, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        // A disabled or selected look is drawn by Qt (and kept in its cache,
        // which is small at these sizes).
        if (mode == QIcon::Disabled || mode == QIcon::Selected)
            return QIcon(pm).pixmap(actual, mode, state);
        return pm;
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        if (FChanged)
            return FOwn.availableSizes(mode, state);
        if (mode != QIcon::Normal || state != QIcon::Off)
            return {};
        const QImage image = Image();
        if (image.isNull())
            return {};
        return {image.size()};
    }
    // A change makes this copy an ordinary icon (QIcon gives a shared
    // engine's copy an engine of its own before it changes it).
    void addPixmap(const QPixmap& pixmap, QIcon::Mode mode, QIcon::State state) override
    {
        Own().addPixmap(pixmap, mode, state);
    }
    void addFile(const QString& fileName, const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        Own().addFile(fileName, size, mode, state);
    }
    bool isNull() override { return FChanged ? FOwn.isNull() : Image().isNull(); }
    QString key() const override { return QStringLiteral("TRemadeIconEngine"); }
    QIconEngine* clone() const override
    {
        auto* copy = new TRemadeIconEngine(FCache);
        copy->FOwn = FOwn;
        copy->FChanged = FChanged;
        return copy;
    }

private:
    QIcon& Own()
    {
        if (!FChanged) {
            const QImage image = Image();
            if (!image.isNull())
                FOwn = QIcon(QPixmap::fromImage(image));
            FChanged = true;
        }
        return FOwn;
    }

    QImage Image()
    {
        TRemadeIconCache& cache = *FCache;
        if (cache.Held)
            return cache.Image;
        QImage image = cache.Make ? cache.Make() : QImage();
        // Without an application object no event loop is to come: then it
        // is made afresh each time.
        if (QCoreApplication::instance()) {
            cache.Image = image;
            cache.Held = true;
            QTimer::singleShot(0, QCoreApplication::instance(), [weak = std::weak_ptr<TRemadeIconCache>(FCache)] {
                if (const auto held = weak.lock()) {
                    held->Image = QImage();
                    held->Held = false;
                }
            });
        }
        return image;
    }

    std::shared_ptr<TRemadeIconCache> FCache;
    QIcon FOwn;
    bool FChanged = false;
};

} // namespace

QIcon RemadeIcon(std::function<QImage()> make)
{
    auto cache = std::make_shared<TRemadeIconCache>();
    cache->Make = std::move(make);
    return QIcon(new TRemadeIconEngine(std::move(cache)));
}

QIcon DeferredIcon(std::function<QIcon()> make)
{
    return QIcon(new TDeferredIconEngine(std::move(make)));
}
