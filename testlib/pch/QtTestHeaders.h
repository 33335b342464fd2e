// The desktop's test programs add the widgets. QtTest stays out: its
// headers read the test folder's own macros, which differ per program.
#pragma once
#include "testlib/pch/TestHeaders.h"

#include <QtWidgets/QtWidgets>
