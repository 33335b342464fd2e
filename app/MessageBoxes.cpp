#include "app/MessageBoxes.h"

#include <QMessageBox>

#include "app/Workspace.h"

namespace {

TMessageHook& Hook() {
    static TMessageHook hook;
    return hook;
}

QString AppTitle() {
    return QString::fromUtf8(orvan::ProductName);
}

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
    QMessageBox box(QMessageBox::NoIcon, AppTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

void ShowErrorMessage(QWidget* parent, const QString& text) {
    const QString caption = QStringLiteral("Error");
    if (Hook()) {
        Hook()(TBoxKind::Error, caption, text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool AskAbortIgnore(QWidget* parent, const QString& text) {
    if (Hook()) return Hook()(TBoxKind::AbortIgnore, AppTitle(), text) != TBoxAnswer::Abort;
    QMessageBox box(QMessageBox::Question, AppTitle(), text,
                    QMessageBox::Abort | QMessageBox::Ignore, parent);
    box.setDefaultButton(QMessageBox::Abort);
    return box.exec() != QMessageBox::Abort;
}
