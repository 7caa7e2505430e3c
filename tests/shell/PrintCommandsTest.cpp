// The main window's print commands: the print engine made at start-up, the
// print items, Print Preview with the page-setup margins and its progress in
// the status bar, printing to a PDF file through the print dialog, and the
// editor's "Print selection".
#include "FileCommandsTestFixture.h"
#include "PreviewForm.h"
#include "PreviewPrinter.h"

#include <QPainter>
#include <QPicture>

using namespace kxdocs;

namespace {

class PrintCommands : public DocsTest {};

} // namespace

