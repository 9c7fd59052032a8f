#include "winui/frmExFolders.h"
// (being written)
namespace tessaly::winui {
void NotesToJournal(modCSV&, Reporter&, HWND) {}
}  // namespace tessaly::winui
