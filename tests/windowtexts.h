#pragma once

// Reads the window's texts by object name, as the tests see them.

#include <QLCDNumber>
#include <QLabel>
#include <QMainWindow>
#include <QMap>
#include <QTableWidget>

namespace WindowTexts {

inline QTableWidget *table(const QMainWindow &window, const QString &name)
{
    return window.findChild<QTableWidget *>(name);
}

// Every cell text of the three tables, keyed "tableWidgetVoltage[row,column]".
inline QMap<QString, QString> cells(const QMainWindow &window)
{
    QMap<QString, QString> texts;
    for (const char *name : {"tableWidgetVoltage", "tableWidgetCurrent", "tableWidgetMisc"}) {
        const QTableWidget *t = table(window, QLatin1String(name));
        for (int row = 0; row < t->rowCount(); ++row) {
            for (int column = 0; column < t->columnCount(); ++column) {
                if (const QTableWidgetItem *item = t->item(row, column))
                    texts.insert(QStringLiteral("%1[%2,%3]").arg(QLatin1String(name)).arg(row).arg(column),
                        item->text());
            }
        }
    }
    return texts;
}

inline QString versionLine(const QMainWindow &window)
{
    return window.findChild<QLabel *>(QStringLiteral("labelVersionInfo"))->text();
}

inline int lcd(const QMainWindow &window)
{
    return window.findChild<QLCDNumber *>(QStringLiteral("lcdNumber"))->intValue();
}

} // namespace WindowTexts
