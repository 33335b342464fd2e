#include "app/MainForm.h"
#include "production/ProductionLogform.h"

#include "app/MessageBoxes.h"
#include "buffer/Eedata.h"
#include "buffer/Mdichild.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QToolBar>

#include <utility>

namespace {

constexpr int RestoredWidth = 800;
constexpr int RestoredHeight = 628;

// Tool bar artwork, drawn once: a chip with the command's letters, or a
// window glyph for the arrange buttons.
QIcon ChipIcon(const QString& letters, const QColor& colour) {
    QPixmap pix(24, 24);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 150, 160), 1));
    for (int i = 0; i < 4; ++i) {
        p.drawLine(5 + i * 4, 1, 5 + i * 4, 4);
        p.drawLine(5 + i * 4, 20, 5 + i * 4, 23);
    }
    p.setPen(QPen(QColor(30, 30, 36), 1));
    p.setBrush(QColor(52, 54, 64));
    p.drawRoundedRect(QRectF(1.5, 4.5, 21, 15), 2, 2);
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(letters.size() > 1 ? 9 : 12);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(QRectF(1, 4, 22, 16), Qt::AlignCenter, letters);
    return QIcon(pix);
}

enum class TGlyph { Open, Save, Cascade, TileHorizontal, TileVertical };

QIcon GlyphIcon(TGlyph glyph) {
    QPixmap pix(24, 24);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const QPen frame(QColor(40, 40, 60), 1);
    p.setPen(frame);
    auto window = [&p](const QRectF& r) {
        p.setBrush(Qt::white);
        p.drawRect(r);
        p.setBrush(QColor(40, 80, 170));
        p.drawRect(QRectF(r.left(), r.top(), r.width(), 3));
    };
    switch (glyph) {
    case TGlyph::Open:
        p.setBrush(QColor(232, 190, 70));
        p.drawRect(QRectF(2.5, 6.5, 19, 14));
        p.drawRect(QRectF(2.5, 4.5, 8, 3));
        p.setBrush(QColor(250, 215, 110));
        p.drawPolygon(QPolygonF(
            {QPointF(5.5, 10.5), QPointF(22.5, 10.5), QPointF(19.5, 20.5), QPointF(2.5, 20.5)}));
        break;
    case TGlyph::Save:
        p.setBrush(QColor(50, 90, 170));
        p.drawRoundedRect(QRectF(2.5, 2.5, 19, 19), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 2.5, 11, 7));
        p.setBrush(QColor(200, 200, 210));
        p.drawRect(QRectF(5.5, 13.5, 13, 8));
        break;
    case TGlyph::Cascade:
        window(QRectF(2.5, 2.5, 13, 11));
        window(QRectF(5.5, 6.5, 13, 11));
        window(QRectF(8.5, 10.5, 13, 11));
        break;
    case TGlyph::TileHorizontal:
        window(QRectF(2.5, 2.5, 19, 9));
        window(QRectF(2.5, 12.5, 19, 9));
        break;
    case TGlyph::TileVertical:
        window(QRectF(2.5, 2.5, 9, 19));
        window(QRectF(12.5, 2.5, 9, 19));
        break;
    }
    return QIcon(pix);
}

QAction* MenuAction(QObject* parent, const char* name, const QString& text,
                    const QKeySequence& shortcut = {}) {
    auto* action = new QAction(text, parent);
    action->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    return action;
}

QAction* ToolAction(QObject* parent, const char* name, const QString& hint, const QIcon& icon) {
    auto* action = new QAction(icon, hint, parent);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(hint);
    return action;
}

} // namespace

TMainForm::TMainForm(QWidget* parent) : TMainForm(TStartOptions{}, parent) {}

TMainForm::TMainForm(TStartOptions options, QWidget* parent)
    : QMainWindow(parent), Workspace(std::make_unique<orvan::TWorkspace>()),
      WriterLink(std::make_unique<orvan::TWriterLink>()), Options(std::move(options)) {
    setObjectName(QStringLiteral("MainForm"));
    Ws().LoadedFileName.clear();
    Ws().StartDirectory.clear();
    Ws().ShownOnce = false;

    BuildActions();
    BuildMenus();
    BuildToolBar();

    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    MdiArea = new QMdiArea(central);
    MdiArea->setObjectName(QStringLiteral("MdiArea"));
    // A child reaching past the area (under the status panel) can be scrolled to.
    MdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    layout->addWidget(MdiArea, 1);
    layout->addWidget(BuildStatusPanel());
    setCentralWidget(central);
    resize(RestoredWidth, RestoredHeight);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);

    FormCreate();
    Timer1->start();
}

TMainForm::~TMainForm() {
    // Child windows render the workspace: let them go before it does.
    delete MdiArea;
    MdiArea = nullptr;
    qDeleteAll(findChildren<QMdiSubWindow*>(Qt::FindDirectChildrenOnly));
}

void TMainForm::BuildActions() {
    FileOpen1 = MenuAction(this, "FileOpen1", QStringLiteral("&Open"));
    FileOpen1->setToolTip(QStringLiteral("Open"));
    FileOpen1->setIcon(GlyphIcon(TGlyph::Open));
    LoadConfig1 = MenuAction(this, "LoadConfig1", QStringLiteral("Load Config File "),
                             QKeySequence(Qt::CTRL | Qt::Key_L));
    FileSaveItem = MenuAction(this, "FileSaveItem", QStringLiteral("Save Config File"),
                              QKeySequence(Qt::CTRL | Qt::Key_S));
    FileSaveAsItem = MenuAction(this, "FileSaveAsItem", QStringLiteral("Save Disassmble"));
    FileSaveAsItem->setEnabled(false);
    SaveProgramMemory1 =
        MenuAction(this, "SaveProgramMemory1", QStringLiteral("Save Program Memory"));
    FileExit1 = MenuAction(this, "FileExit1", QStringLiteral("E&xit"));

    ProgramMemory1 = MenuAction(this, "ProgramMemory1", QStringLiteral("Program Memory"));
    ID2 = MenuAction(this, "ID2", QStringLiteral("ID"));
    Disassemble1 = MenuAction(this, "Disassemble1", QStringLiteral("Disassemble"));
    EEPROM1 = MenuAction(this, "EEPROM1", QStringLiteral("EEPROM"));

    EditOPTION = MenuAction(this, "EditOPTION", QStringLiteral("OPTION"), QKeySequence(Qt::Key_F4));
    SerialNoMode1 = MenuAction(this, "SerialNoMode1", QStringLiteral("Serial No. Mode"));
    CounterMode1 = MenuAction(this, "CounterMode1", QStringLiteral("Set Counter Value"));
    LoadQTPFile1 = MenuAction(this, "LoadQTPFile1", QStringLiteral("Load QTP File"));
    ClearOPTION1 = MenuAction(this, "ClearOPTION1", QStringLiteral("Clear OPTION"));
    ClearID1 = MenuAction(this, "ClearID1", QStringLiteral("Clear ID"));
    ClearBuffer1 = MenuAction(this, "ClearBuffer1", QStringLiteral("Clear Buffer"));
    FillBuffer1 = MenuAction(this, "FillBuffer1", QStringLiteral("Fill Buffer"),
                             QKeySequence(Qt::CTRL | Qt::Key_F));
    ClearEEPROMBuffer1 =
        MenuAction(this, "ClearEEPROMBuffer1", QStringLiteral("Clear EEPROM Buffer"));

    BlankCheckAction = MenuAction(this, "BlankCheckAction", QStringLiteral("Blank Check"),
                                  QKeySequence(Qt::Key_F5));
    Read1 = MenuAction(this, "Read1", QStringLiteral("Read"), QKeySequence(Qt::Key_F6));
    Veryfy1 = MenuAction(this, "Veryfy1", QStringLiteral("Verify"), QKeySequence(Qt::Key_F7));
    VerifywithProtect1 =
        MenuAction(this, "VerifywithProtect1", QStringLiteral("Verify with Protect"));
    AutoProgram1 =
        MenuAction(this, "AutoProgram1", QStringLiteral("Auto Program"), QKeySequence(Qt::Key_F8));
    AutoProgramwithoutBlankCheck1 =
        MenuAction(this, "AutoProgramwithoutBlankCheck1",
                   QStringLiteral("Auto Program without Blank Check"), QKeySequence(Qt::Key_F9));
    OPTION3 = MenuAction(this, "OPTION3", QStringLiteral("OPTION"));
    OPTION3->setToolTip(QStringLiteral("Program Option Only"));
    OPTION3->setStatusTip(QStringLiteral("Program Option Only"));
    ID3 = MenuAction(this, "ID3", QStringLiteral("ID and Checksum"));
    ProgramMemory2 = MenuAction(this, "ProgramMemory2", QStringLiteral("Program Memory"));

    WindowCascade1 = MenuAction(this, "WindowCascade1", QStringLiteral("&Cascade"));
    WindowTileHorizontal1 =
        MenuAction(this, "WindowTileHorizontal1", QStringLiteral("Tile &Horizontally"));
    WindowTileVertical1 =
        MenuAction(this, "WindowTileVertical1", QStringLiteral("Tile &Vertically"));
    WindowMinimizeAll1 = MenuAction(this, "WindowMinimizeAll1", QStringLiteral("&Minimize All"));
    WindowArrangeAll1 = MenuAction(this, "WindowArrangeAll1", QStringLiteral("&Arrange All"));

    HelpAbout1 = MenuAction(this, "HelpAbout1", QStringLiteral("&About..."));
    VersionInfo1 = MenuAction(this, "VersionInfo1", QStringLiteral("Version Info"));

    ToolSave = ToolAction(this, "ToolSave", QStringLiteral("Save Program Memory"),
                          GlyphIcon(TGlyph::Save));
    Erase = ToolAction(this, "Erase", QStringLiteral("Erase Flash memory"),
                       ChipIcon(QStringLiteral("E"), QColor(255, 90, 80)));
    ToolBlankCheck = ToolAction(this, "ToolBlankCheck", QStringLiteral("Blank Check"),
                                ChipIcon(QStringLiteral("B"), QColor(120, 220, 255)));
    ToolRead = ToolAction(this, "ToolRead", QStringLiteral("Read"),
                          ChipIcon(QStringLiteral("R"), QColor(120, 240, 120)));
    ToolVerify = ToolAction(this, "ToolVerify", QStringLiteral("Verify"),
                            ChipIcon(QStringLiteral("V"), QColor(255, 230, 90)));
    ToolVerifyProtect = ToolAction(this, "ToolVerifyProtect", QStringLiteral("Verify with protect"),
                                   ChipIcon(QStringLiteral("VP"), QColor(255, 230, 90)));
    ToolID = ToolAction(this, "ToolID", QStringLiteral("Program ID & Checksum"),
                        ChipIcon(QStringLiteral("ID"), QColor(255, 170, 60)));
    ToolProgramMemory = ToolAction(this, "ToolProgramMemory", QStringLiteral("Program Memory"),
                                   ChipIcon(QStringLiteral("PM"), QColor(255, 170, 60)));
    ToolProgramOption = ToolAction(this, "ToolProgramOption", QStringLiteral("Program OPTION"),
                                   ChipIcon(QStringLiteral("OP"), QColor(255, 170, 60)));
    WriteEE = ToolAction(this, "WriteEE", QStringLiteral("Write EEPROM"),
                         ChipIcon(QStringLiteral("EE"), QColor(230, 140, 255)));
    ToolAutoProgram = ToolAction(this, "ToolAutoProgram", QStringLiteral("Auto program"),
                                 ChipIcon(QStringLiteral("A"), QColor(255, 255, 255)));
    ToolAutoProgramNoBlank = ToolAction(this, "ToolAutoProgramNoBlank",
                                        QStringLiteral("Auto program without blank check"),
                                        ChipIcon(QStringLiteral("A-"), QColor(255, 255, 255)));
    ToolCascade =
        ToolAction(this, "ToolCascade", QStringLiteral("Cascade"), GlyphIcon(TGlyph::Cascade));
    ToolTileHorizontal = ToolAction(this, "ToolTileHorizontal", QStringLiteral("Tile Horizontally"),
                                    GlyphIcon(TGlyph::TileHorizontal));
    ToolTileVertical = ToolAction(this, "ToolTileVertical", QStringLiteral("Tile Vertically"),
                                  GlyphIcon(TGlyph::TileVertical));
    ToolButton23 = ToolAction(this, "ToolButton23", QString(),
                              ChipIcon(QStringLiteral("F"), QColor(255, 90, 80)));
    ToolButton23->setText(QString()); // an action's tool tip falls back to its text
    ToolButton23->setToolTip(QString());
    ToolButton23->setVisible(false);

    const struct {
        QAction* Action;
        void (TMainForm::*Handler)();
    } bindings[] = {
        {FileOpen1, &TMainForm::FileOpen1Execute},
        {LoadConfig1, &TMainForm::LoadConfig1Click},
        {FileSaveItem, &TMainForm::FileSaveItemClick},
        {FileSaveAsItem, &TMainForm::FileSaveAsItemClick},
        {SaveProgramMemory1, &TMainForm::SaveProgramMemory1Click},
        {ToolSave, &TMainForm::SaveProgramMemory1Click},
        {FileExit1, &TMainForm::FileExit1Execute},
        {ProgramMemory1, &TMainForm::ProgramMemory1Click},
        {ID2, &TMainForm::ID2Click},
        {Disassemble1, &TMainForm::Disassemble1Click},
        {EEPROM1, &TMainForm::EEPROM1Click},
        {EditOPTION, &TMainForm::EditOPTIONClick},
        {SerialNoMode1, &TMainForm::SerialNoMode1Click},
        {CounterMode1, &TMainForm::CounterMode1Click},
        {LoadQTPFile1, &TMainForm::LoadQTPFile1Click},
        {ClearOPTION1, &TMainForm::ClearOPTION1Click},
        {ClearID1, &TMainForm::ClearID1Click},
        {ClearBuffer1, &TMainForm::ClearBuffer1Click},
        {FillBuffer1, &TMainForm::FillBuffer1Click},
        {ClearEEPROMBuffer1, &TMainForm::ClearEEPROMBuffer1Click},
        {BlankCheckAction, &TMainForm::BlankCheckActionExecute},
        {ToolBlankCheck, &TMainForm::BlankCheckActionExecute},
        {Erase, &TMainForm::EraseClick},
        {Read1, &TMainForm::ToolButton7Click},
        {ToolRead, &TMainForm::ToolButton7Click},
        {Veryfy1, &TMainForm::Veryfy1Click},
        {ToolVerify, &TMainForm::Veryfy1Click},
        {VerifywithProtect1, &TMainForm::VerifywithProtect1Click},
        {ToolVerifyProtect, &TMainForm::VerifywithProtect1Click},
        {AutoProgram1, &TMainForm::AutoProgram1Click},
        {ToolAutoProgram, &TMainForm::AutoProgram1Click},
        {AutoProgramwithoutBlankCheck1, &TMainForm::AutoProgramwithoutBlankCheck1Click},
        {ToolAutoProgramNoBlank, &TMainForm::AutoProgramwithoutBlankCheck1Click},
        {OPTION3, &TMainForm::OPTION3Click},
        {ToolProgramOption, &TMainForm::OPTION3Click},
        {ID3, &TMainForm::ID3Click},
        {ToolID, &TMainForm::ID3Click},
        {ProgramMemory2, &TMainForm::ProgramMemory2Click},
        {ToolProgramMemory, &TMainForm::ProgramMemory2Click},
        {WriteEE, &TMainForm::WriteEEClick},
        {ToolButton23, &TMainForm::ToolButton23Click},
        {WindowCascade1, &TMainForm::WindowCascade1Execute},
        {ToolCascade, &TMainForm::WindowCascade1Execute},
        {WindowTileHorizontal1, &TMainForm::WindowTileHorizontal1Execute},
        {ToolTileHorizontal, &TMainForm::WindowTileHorizontal1Execute},
        {WindowTileVertical1, &TMainForm::WindowTileVertical1Execute},
        {ToolTileVertical, &TMainForm::WindowTileVertical1Execute},
        {WindowMinimizeAll1, &TMainForm::WindowMinimizeAll1Execute},
        {WindowArrangeAll1, &TMainForm::WindowArrangeAll1Execute},
        {HelpAbout1, &TMainForm::HelpAbout1Execute},
        {VersionInfo1, &TMainForm::VersionInfo1Click},
    };
    for (const auto& b : bindings)
        connect(b.Action, &QAction::triggered, this, b.Handler);
}

void TMainForm::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    file->addActions({FileOpen1, LoadConfig1, FileSaveItem, FileSaveAsItem, SaveProgramMemory1});
    file->addSeparator();
    file->addAction(FileExit1);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("View1"));
    view->addActions({ProgramMemory1, ID2, Disassemble1, EEPROM1});
    view->addSeparator();
    QAction* log = view->addAction(QStringLiteral("Production &Log"));
    log->setObjectName(QStringLiteral("ProductionLog1"));
    connect(log, &QAction::triggered, this, [this] { ShowProductionLog(this, Ws()); });

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("Edit1"));
    edit->addAction(EditOPTION);
    edit->addSeparator();
    edit->addActions({SerialNoMode1, CounterMode1, LoadQTPFile1});
    edit->addSeparator();
    edit->addActions({ClearOPTION1, ClearID1, ClearBuffer1, FillBuffer1, ClearEEPROMBuffer1});

    QMenu* program = menuBar()->addMenu(QStringLiteral("&Program"));
    program->setObjectName(QStringLiteral("Program1"));
    program->setToolTipsVisible(true);
    program->addActions({BlankCheckAction, Read1, Veryfy1, VerifywithProtect1});
    program->addSeparator();
    program->addActions(
        {AutoProgram1, AutoProgramwithoutBlankCheck1, OPTION3, ID3, ProgramMemory2});

    WindowMenu = menuBar()->addMenu(QStringLiteral("&Window"));
    WindowMenu->setObjectName(QStringLiteral("Window1"));
    connect(WindowMenu, &QMenu::aboutToShow, this, &TMainForm::FillWindowMenu);
    FillWindowMenu();

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    help->addActions({HelpAbout1, VersionInfo1});
}

void TMainForm::BuildToolBar() {
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFixedHeight(33);
    ToolBar1->setIconSize(QSize(22, 22));
    ToolBar1->setStyleSheet(QStringLiteral("QToolButton { padding: 0px; margin: 0px; }"));
    ToolBar1->addActions({FileOpen1, ToolSave});
    ToolBar1->addSeparator();
    ToolBar1->addAction(Erase);
    ToolBar1->addSeparator();
    ToolBar1->addActions({ToolBlankCheck, ToolRead, ToolVerify, ToolVerifyProtect});
    ToolBar1->addSeparator();
    ToolBar1->addActions({ToolID, ToolProgramMemory, ToolProgramOption});
    ToolBar1->addSeparator();
    ToolBar1->addActions({WriteEE, ToolAutoProgram, ToolAutoProgramNoBlank});
    ToolBar1->addSeparator();
    ToolBar1->addActions({ToolCascade, ToolTileHorizontal, ToolTileVertical});
    ToolBar1->addSeparator();

    Label3 = new QLabel(QStringLiteral(" Serial Port : "), ToolBar1);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont bold = Label3->font();
    bold.setBold(true);
    Label3->setFont(bold);
    Label3->installEventFilter(this);
    ToolBar1->addWidget(Label3);

    ComboBox1 = new QComboBox(ToolBar1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    for (int i = 0; i < orvan::PortCount; ++i)
        ComboBox1->addItem(QString::fromStdString(orvan::PortNameOf(i)));
    ToolBar1->addWidget(ComboBox1);
    connect(ComboBox1, &QComboBox::activated, this, [this](int index) {
        // The port already chosen and set up on the line: nothing to do.
        if (index == Ws().PortIndex && Link().Comm1.DeviceName() == orvan::PortNameOf(index))
            return;
        Ws().PortIndex = index;
        ComboBox1Change();
    });

    HandShake = new QComboBox(ToolBar1);
    HandShake->setObjectName(QStringLiteral("HandShake"));
    HandShake->addItems({QStringLiteral("Default"), QStringLiteral("CTS"), QStringLiteral("None")});
    HandShake->setCurrentIndex(-1);
    HandShake->setMinimumContentsLength(7);
    ToolBar1->addWidget(HandShake);
    connect(HandShake, &QComboBox::activated, this, [this, chosen = -1](int index) mutable {
        if (index == chosen) return; // picked again: the line stays as it is
        chosen = index;
        ComboBox1Change();
    });
    ToolBar1->addSeparator();
    ToolBar1->addAction(ToolButton23);
    ToolBar1->addSeparator();
}

void TMainForm::ShowCentredMaximised() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        setGeometry(QRect(area.center() - QPoint(RestoredWidth / 2, RestoredHeight / 2),
                          QSize(RestoredWidth, RestoredHeight)));
    }
    showMaximized();
}

void TMainForm::ShowMessage(const QString& text) {
    ShowPlainMessage(this, text);
}

// --- Lifecycle -------------------------------------------------------------

void TMainForm::FormCreate() {
    setWindowTitle(QString::fromUtf8(orvan::ProductName) + QStringLiteral("  ") +
                   QString::fromUtf8(orvan::ProductVersion));

    ComboBox2->clear();
    for (const orvan::TCatalogueRow& row : orvan::Catalogue())
        ComboBox2->addItem(QString::fromLatin1(row.Name));

    Ws().LoadedFileName.clear();
    Ws().StartDirectory = QDir::currentPath().toStdString();
    Ws().Buffers.SetBlank();
    Ws().EraseFirst = Ws().ReadDone = Ws().RefreshPending = false;
    Ws().QTPActive = false;
    Ws().Serial = orvan::TSerialSettings{};

    ComboBox1->setCurrentIndex(0);
    Ws().PortIndex = 0;
    ComboBox2->setCurrentIndex(0);
    Ws().DeviceName = ComboBox2->currentText().toStdString();
    Ws().ConfigPath =
        (QDir(QString::fromStdString(Ws().StartDirectory)).filePath(QStringLiteral("Default.cfg")))
            .toStdString();

    if (!LoadStartupConfig()) {
        Ws().RefreshData();
        Ws().CalChecksum();
    }
    UpdateFlashControls();
    if (Ws().Device.IsFlash()) RecreateEEWindow();
    UpdateSerialModeControls();
    RenderPanel();

    if (!PulseWidth->isHidden() || !EraseWidth->isHidden())
        for (QWidget* w : ServiceFields)
            w->setVisible(true);

    const std::function<void()> closeLogo = [this] {
        if (Options.CloseLogo) std::exchange(Options.CloseLogo, {})();
    };
    if (Options.Connect)
        StartupConnect(closeLogo);
    else
        closeLogo();
    closeLogo(); // whatever path the connection took, the picture is gone now
}

void TMainForm::FormShow() {
    if (Ws().ShownOnce) return;
    Ws().RefreshPending = true;
    RecreateIDWindow();
    RecreateMemoryWindow();
    Ws().ShownOnce = true;
}

void TMainForm::FormClose() {
    Timer1->stop();
    RestorePortSettings();
    CloseQTPFile();
    // Default.cfg always records serial-number mode and QTP as off.
    Ws().SerialAndQTPOff();
    RenderPanel();
    SaveDefaultConfig();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // The frame closes once; a repeated close (session end after Exit) must
    // not write Default.cfg a second time.
    if (!std::exchange(Closed, true)) FormClose();
    event->accept();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormShow();
}

void TMainForm::FileExit1Execute() {
    close();
}
