// TAboutBox: the modal about box. Creating it fills the version, memory and
// system lines and asks a universal writer for its firmware text (kept in
// the link's WriterIdText, so a later opening still has it).
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace orvan {
class TWorkspace;
class TWriterLink;
} // namespace orvan

class TAboutBox : public QDialog {
    Q_OBJECT
  public:
    // `mainCaption` is the main window's caption, where the version comes from.
    TAboutBox(const QString& mainCaption, orvan::TWorkspace& ws, orvan::TWriterLink& link,
              QWidget* parent = nullptr);

    QLabel *Image1 = nullptr, *Image2 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr,
           *Label5 = nullptr, *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr,
           *Label9 = nullptr;
    QLabel *StaticText1 = nullptr, *StaticText2 = nullptr, *StaticText3 = nullptr,
           *StaticText4 = nullptr, *WriterID = nullptr;
    QFrame *Bevel1 = nullptr, *Bevel2 = nullptr;
    QPushButton* OKButton = nullptr;

  private:
    void BuildControls();
    void FormCreate(const QString& mainCaption, orvan::TWorkspace& ws, orvan::TWriterLink& link);
};
