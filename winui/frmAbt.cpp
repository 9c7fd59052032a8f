#include "winui/frmAbt.h"
// (being written)
namespace tessaly::winui {
frmAbt::frmAbt(Reporter& reporter, AboutServices services) : reporter_(reporter), services_(std::move(services)) {}
frmAbt::~frmAbt() = default;
void ShowAbout(std::unique_ptr<frmAbt>&, HWND, Reporter&, AboutServices) {}
}  // namespace tessaly::winui
