// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/program_style.h"

#include <QApplication>
#include <QIconEngine>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

#include <functional>

namespace {

// An icon made by a function the first time it is drawn or measured.
class DeferredIconEngine : public QIconEngine {
public:
    explicit DeferredIconEngine(std::function<QIcon()> make) : make_(std::move(make)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    QIconEngine *clone() const override { return new DeferredIconEngine(*this); }

private:
    const QIcon &icon()
    {
        if (!made_) {
            icon_ = make_();
            made_ = true;
        }
        return icon_;
    }

    std::function<QIcon()> make_;
    QIcon icon_;
    bool made_ = false;
};

} // namespace

ProgramStyle::ProgramStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
{
}

QIcon ProgramStyle::standardIcon(StandardPixmap icon, const QStyleOption *option,
                                 const QWidget *widget) const
{
    if (icon != SP_ToolBarHorizontalExtensionButton || option)
        return QProxyStyle::standardIcon(icon, option, widget);
    const bool rightToLeft = widget ? widget->isRightToLeft() : QGuiApplication::isRightToLeft();
    // The style outlives the icon's first use only while it is the application's style.
    const QPointer<const QStyle> base(baseStyle());
    const QPointer<const QWidget> owner(widget);
    return QIcon(new DeferredIconEngine([base, owner, rightToLeft] {
        if (!base)
            return QIcon();
        QStyleOption direction;
        direction.direction = rightToLeft ? Qt::RightToLeft : Qt::LeftToRight;
        return base->standardIcon(SP_ToolBarHorizontalExtensionButton, &direction, owner);
    }));
}
