// Where each operation's window attaches to the main window. The command
// handlers (MainFormCommands.cpp) make the entry checks and set the flags;
// these run the window itself. Operations not built yet leave their slot empty.
#include "app/MainForm.h"

#include "production/Idform.h"

QMdiSubWindow* TMainForm::NewIDWindow() {
    return new TIDChecksumForm(Ws());
}

