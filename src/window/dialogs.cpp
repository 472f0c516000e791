// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

const QString MessageBoxDialogs::kCaption = QStringLiteral("horalux");
const QString MessageBoxDialogs::kOpenTitle = QStringLiteral("Select the exetutable program");
// A folder name relative to the current folder, not the program's own folder. When it does
// not exist the dialog opens in the current folder.
const QString MessageBoxDialogs::kOpenFolder = QStringLiteral("app.path");

QString MessageBoxDialogs::openFilter()
{
#ifdef Q_OS_WIN
    return QStringLiteral("All Executables (*.exe* *.msi* *.bat*)");
#else
    // Programs on this system carry no extension: the one entry shows every file.
    return QStringLiteral("All Executables (*)");
#endif
}

void MessageBoxDialogs::information(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Information, kCaption, text, QMessageBox::Ok, parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

bool MessageBoxDialogs::question(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Question, kCaption, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> MessageBoxDialogs::openProgram(QWidget *parent)
{
    const QString chosen = QFileDialog::getOpenFileName(parent, kOpenTitle, kOpenFolder,
                                                        openFilter());
    if (chosen.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(chosen);
}
