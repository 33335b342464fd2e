// The application's message boxes: plain (OK), error (caption "Error", stop
// icon) and the Abort/Ignore question. Every window shows its boxes through
// these functions so that tests can answer them without a modal loop.
#pragma once

#include <QString>

#include <functional>

class QWidget;

enum class TBoxKind { Plain, Error, AbortIgnore };
enum class TBoxAnswer { Ok, Abort, Ignore };

// Receives every box instead of the screen while installed.
using TMessageHook =
    std::function<TBoxAnswer(TBoxKind, const QString& caption, const QString& text)>;

// Installs a hook (an empty function restores the real boxes); returns the previous one.
TMessageHook SetMessageHook(TMessageHook hook);

void ShowPlainMessage(QWidget* parent, const QString& text);
void ShowErrorMessage(QWidget* parent, const QString& text);
// True when the operator chose Ignore (go on), false for Abort.
bool AskAbortIgnore(QWidget* parent, const QString& text);
