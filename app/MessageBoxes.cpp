#include "app/MessageBoxes.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QStyle>
#include <QWindow>

#include <algorithm>

#include "session/Workspace.h"

namespace {

TMessageHook& Hook() {
    static TMessageHook hook;
    return hook;
}

QString AppTitle() {
    return QString::fromUtf8(orvan::ProductName);
}

// A box wide enough for its caption (a short text such as "Connect OK!"
// would leave the title cut off) and centred on the main window once that
// is on screen, else on the screen: at start-up the main window exists but
// is not mapped at its final place yet, and a box centred on it would sit
// off to one side.
class TAppMessageBox : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;

  protected:
    void showEvent(QShowEvent* event) override {
        if (!Widened) {
            // The box sizes itself from its layout whenever it lays out
            // again, so the room goes into the layout, not into a width.
            Widened = true;
            QFont bold = font();
            bold.setBold(true);
            // Room for the title bar's icon and buttons beside the caption.
            const int bar =
                std::max(24, style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
            const int need = QFontMetrics(bold).horizontalAdvance(windowTitle()) * 3 / 2 + 5 * bar;
            if (auto* grid = qobject_cast<QGridLayout*>(layout()))
                grid->addItem(new QSpacerItem(need, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                              grid->rowCount(), 0, 1, grid->columnCount());
        }
        QMessageBox::showEvent(event);

        const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
        const QWindow* handle = owner ? owner->windowHandle() : nullptr;
        QRect area;
        if (owner && owner->isVisible() && handle && handle->isExposed()) {
            area = owner->frameGeometry();
        } else {
            const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
            if (!screen) return;
            area = screen->availableGeometry();
        }
        move(area.center() - rect().center());
    }

    // The keyboard goes back to the window the box was shown over, so that
    // its shortcuts work at once (not every desktop hands it back).
    void hideEvent(QHideEvent* event) override {
        QMessageBox::hideEvent(event);
        if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
            if (owner->isVisible()) owner->activateWindow();
    }

  private:
    bool Widened = false;
};

} // namespace

TMessageHook SetMessageHook(TMessageHook hook) {
    TMessageHook old = std::move(Hook());
    Hook() = std::move(hook);
    return old;
}

void ShowPlainMessage(QWidget* parent, const QString& text) {
    if (Hook()) {
        Hook()(TBoxKind::Plain, AppTitle(), text);
        return;
    }
    TAppMessageBox box(QMessageBox::NoIcon, AppTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

void ShowErrorMessage(QWidget* parent, const QString& text) {
    const QString caption = QStringLiteral("Error");
    if (Hook()) {
        Hook()(TBoxKind::Error, caption, text);
        return;
    }
    TAppMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool AskAbortIgnore(QWidget* parent, const QString& text) {
    if (Hook()) return Hook()(TBoxKind::AbortIgnore, AppTitle(), text) != TBoxAnswer::Abort;
    TAppMessageBox box(QMessageBox::Question, AppTitle(), text, QMessageBox::NoButton, parent);
    // One role for both, so that every platform's button order keeps them
    // as written: Abort, then Ignore.
    QPushButton* abort = box.addButton(QStringLiteral("Abort"), QMessageBox::ActionRole);
    QPushButton* ignore = box.addButton(QStringLiteral("Ignore"), QMessageBox::ActionRole);
    box.setDefaultButton(abort);
    box.setEscapeButton(abort);
    box.exec();
    // Only an explicit Ignore goes on; Escape or closing the box is Abort.
    return box.clickedButton() == ignore;
}
