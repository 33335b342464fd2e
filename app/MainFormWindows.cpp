// Child windows of the MDI frame: creation, re-creation and the Window menu.
#include "app/MainForm.h"

#include "buffer/Eedata.h"
#include "buffer/Mdichild.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

#include <algorithm>

namespace {
// The size a child window was built with; Cascade never makes it smaller.
constexpr const char* DefaultSizeProperty = "orvanDefaultSize";
} // namespace

void TMainForm::AddChild(QMdiSubWindow* window) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setProperty(DefaultSizeProperty, window->size());
    MdiArea->addSubWindow(window);
    window->show();
    // A child wider or taller than the area is placed partly above or left
    // of it, and the area opens scrolled: its top-left corner stays in view.
    if (window->x() < 0 || window->y() < 0)
        window->move(std::max(0, window->x()), std::max(0, window->y()));
}

// Removes the window at once, even from inside a handler of the window
// itself: it leaves the area now and is deleted when control returns.
void TMainForm::DestroyChild(QPointer<QMdiSubWindow>& window) {
    if (!window) return;
    QMdiSubWindow* w = window;
    window = nullptr;
    w->hide();
    MdiArea->removeSubWindow(w);
    w->setParent(this); // still owned if the frame goes first
    w->hide();
    w->deleteLater();
}

QString TMainForm::MemoryCaption() const {
    return Workspace->LoadedFileName.empty() ? QStringLiteral("Program Memory")
                                             : QString::fromStdString(Workspace->LoadedFileName);
}

bool TMainForm::MemoryWindowOpen() const {
    return !MemoryChild.isNull();
}

TMDIChild* TMainForm::MemoryWindow() const {
    return qobject_cast<TMDIChild*>(MemoryChild.data());
}

TEEDataForm* TMainForm::EEDataWindow() const {
    return qobject_cast<TEEDataForm*>(EEWindow.data());
}

void TMainForm::RecreateMemoryWindow() {
    DestroyChild(MemoryChild);
    auto* child = new TMDIChild(Ws(), MemoryCaption());
    connect(child, &TMDIChild::BufferEdited, this, &TMainForm::RenderPanel);
    MemoryChild = child;
    AddChild(child);
}

void TMainForm::RecreateIDWindow() {
    DestroyChild(IDWindow);
    if (QMdiSubWindow* window = NewIDWindow()) {
        IDWindow = window;
        AddChild(window);
    }
}

void TMainForm::RecreateEEWindow() {
    if (!EEWindow) return;
    DestroyChild(EEWindow);
    auto* form = new TEEDataForm(Ws());
    EEWindow = form;
    AddChild(form);
}

void TMainForm::CloseDisasmWindow() {
    DestroyChild(DisasmWindow);
}

void TMainForm::SetDisasmWindow(QMdiSubWindow* window) {
    if (window == DisasmWindow) return;
    DestroyChild(DisasmWindow);
    DisasmWindow = window;
    if (window && !window->mdiArea()) AddChild(window);
}

void TMainForm::RepopulateMemoryWindow() {
    if (TMDIChild* child = MemoryWindow()) child->Repopulate();
}

// --- View commands -----------------------------------------------------------

void TMainForm::ProgramMemory1Click() {
    if (MemoryChild) {
        MdiArea->setActiveSubWindow(MemoryChild);
        return;
    }
    RecreateMemoryWindow();
}

void TMainForm::ID2Click() {
    if (IDWindow) {
        MdiArea->setActiveSubWindow(IDWindow);
        return;
    }
    RecreateIDWindow();
}

void TMainForm::EEPROM1Click() {
    if (EEWindow) {
        MdiArea->setActiveSubWindow(EEWindow);
        return;
    }
    auto* form = new TEEDataForm(Ws());
    EEWindow = form;
    AddChild(form);
}

void TMainForm::Disassemble1Click() {
    OpenDisassembly();
}

// --- Window menu -------------------------------------------------------------

void TMainForm::FillWindowMenu() {
    WindowMenu->clear();
    WindowMenu->addActions({WindowCascade1, WindowTileHorizontal1, WindowTileVertical1,
                            WindowMinimizeAll1, WindowArrangeAll1});
    qDeleteAll(WindowListActions);
    WindowListActions.clear();
    const QList<QMdiSubWindow*> windows =
        MdiArea ? MdiArea->subWindowList() : QList<QMdiSubWindow*>{};
    if (windows.isEmpty()) return;
    WindowMenu->addSeparator();
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* w = windows[i];
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(w->windowTitle()), this);
        action->setCheckable(true);
        action->setChecked(w == MdiArea->activeSubWindow());
        connect(action, &QAction::triggered, this, [this, target = QPointer<QMdiSubWindow>(w)] {
            if (target) {
                if (target->isMinimized()) target->showNormal();
                MdiArea->setActiveSubWindow(target);
            }
        });
        WindowMenu->addAction(action);
        WindowListActions.append(action);
    }
}

void TMainForm::WindowCascade1Execute() {
    MdiArea->cascadeSubWindows();
    // Cascading shrinks every child to its size hint, a grid to a few cells.
    for (QMdiSubWindow* w : MdiArea->subWindowList()) {
        if (w->isMinimized() || w->isMaximized()) continue;
        const QSize built = w->property(DefaultSizeProperty).toSize();
        w->resize(w->size().expandedTo(built.isValid() ? built : w->sizeHint()));
    }
}

namespace {
QList<QMdiSubWindow*> Visible(QMdiArea* area) {
    QList<QMdiSubWindow*> list;
    for (QMdiSubWindow* w : area->subWindowList())
        if (w->isVisible() && !w->isMinimized()) list.append(w);
    return list;
}
} // namespace

// One above the other, each the full width of the area.
void TMainForm::WindowTileHorizontal1Execute() {
    const QList<QMdiSubWindow*> list = Visible(MdiArea);
    if (list.isEmpty()) return;
    const QRect area = MdiArea->viewport()->rect();
    const int h = area.height() / int(list.size());
    for (int i = 0; i < list.size(); ++i) {
        list[i]->showNormal();
        list[i]->setGeometry(0, i * h, area.width(), h);
    }
}

// Side by side, each the full height of the area.
void TMainForm::WindowTileVertical1Execute() {
    const QList<QMdiSubWindow*> list = Visible(MdiArea);
    if (list.isEmpty()) return;
    const QRect area = MdiArea->viewport()->rect();
    const int w = area.width() / int(list.size());
    for (int i = 0; i < list.size(); ++i) {
        list[i]->showNormal();
        list[i]->setGeometry(i * w, 0, w, area.height());
    }
}

void TMainForm::WindowMinimizeAll1Execute() {
    for (QMdiSubWindow* w : MdiArea->subWindowList())
        w->showMinimized();
    WindowArrangeAll1Execute();
}

// Lines the minimised windows up along the bottom edge.
void TMainForm::WindowArrangeAll1Execute() {
    const QRect area = MdiArea->viewport()->rect();
    int x = 0, row = 0;
    for (QMdiSubWindow* w : MdiArea->subWindowList()) {
        if (!w->isMinimized()) continue;
        const QSize size = w->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            ++row;
        }
        w->move(x, area.height() - (row + 1) * size.height());
        x += size.width();
    }
}
