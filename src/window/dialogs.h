// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

class QWidget;

// Every message box, question and file-open dialog of the window goes through this one
// interface, so tests can answer for the user and never block.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal information message with an OK button.
    virtual void information(QWidget *parent, const QString &text) = 0;
    // A modal question with Yes and No, Yes the default. True when the answer is Yes.
    virtual bool question(QWidget *parent, const QString &text) = 0;
    // The file-open dialog for the program to start. The full path of the chosen file, or
    // nothing when the user cancelled.
    virtual std::optional<QString> openProgram(QWidget *parent) = 0;
};

// The real dialogs: QMessageBox with the caption "horalux", and QFileDialog.
class MessageBoxDialogs final : public Dialogs {
public:
    static const QString kCaption;          // "horalux"
    static const QString kOpenTitle;        // title of the file-open dialog
    static const QString kOpenFolder;       // the folder it starts in
    static QString openFilter();            // its one filter entry

    void information(QWidget *parent, const QString &text) override;
    bool question(QWidget *parent, const QString &text) override;
    std::optional<QString> openProgram(QWidget *parent) override;
};
