// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/caption_font.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

// Keeps QEvent::FontChange from the combo boxes it filters: on that event a combo box builds
// its drop-down list at once, with every item laid out, where it would otherwise build it
// when first opened, with the font it has then.
struct QuietFontChange : QObject {
    bool eventFilter(QObject *, QEvent *event) override
    {
        return event->type() == QEvent::FontChange;
    }
};

// What a control's caption needs: its text's size, a wrapped label its height for its width, a
// frame the width of its title; an empty size for a control without a caption.
QSize captionNeeds(QWidget *w)
{
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->wordWrap() ? QSize(l->width(), l->heightForWidth(l->width())) : l->sizeHint();
    if (auto *b = qobject_cast<QPushButton *>(w))
        return {b->fontMetrics().horizontalAdvance(b->text()) + 8, b->fontMetrics().height()};
    if (qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w))
        return {w->sizeHint().width(), w->fontMetrics().height()};
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return {g->fontMetrics().horizontalAdvance(g->title()) + 16, 0};
    return {};
}

} // namespace

QFont captionFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica"),
                      QStringLiteral("FreeSans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

void fitCaptionFont(QWidget *window, const std::function<void(const QFont &)> &apply,
                    const std::function<int(const QWidget *)> &room)
{
    QuietFontChange quiet;
    for (QComboBox *c : window->findChildren<QComboBox *>())
        c->installEventFilter(&quiet);
    for (int px = 11; px >= 8; --px) {
        apply(captionFont(px));
        const QList<QWidget *> controls = window->findChildren<QWidget *>();
        if (std::all_of(controls.begin(), controls.end(), [&](QWidget *w) {
                const QSize need = captionNeeds(w);
                return need.width() <= room(w) && need.height() <= w->height();
            }))
            return;
    }
}
