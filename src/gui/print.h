// Printing: the main window, a picture object, or a plain text, each after the
// printer-setup step.
#pragma once
#include <functional>

class QPrinter;

// The printer-setup step: returns false when cancelled. The default shows the
// printer dialog; where dialogs cannot open, the next scripted answer names a PDF
// file to print into (an empty answer cancels). Tests install their own.
using TPrinterSetup = std::function<bool(QPrinter&)>;
void SetPrinterSetup(TPrinterSetup setup);
