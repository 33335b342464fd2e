// TVersionInfo: the version history window, the release notes of every
// version of this application in a read-only memo.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class TVersionInfo : public QDialog {
    Q_OBJECT
  public:
    explicit TVersionInfo(QWidget* parent = nullptr);

    QPlainTextEdit* MemoVer = nullptr;
    QPushButton* Button1 = nullptr;

    // The notes, newest version first.
    static QString ReleaseNotes();
};
