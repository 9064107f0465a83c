#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

// Clicks where the operator would: a check box on its indicator and label, a
// button in its middle.
inline void operatorClick(QAbstractButton *button)
{
    QPoint position = button->rect().center();
    if (auto *box = qobject_cast<QCheckBox *>(button)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        option.iconSize = box->iconSize();
        position = box->style()->subElementRect(QStyle::SE_CheckBoxClickRect, &option, box).center();
    }
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, position);
}
