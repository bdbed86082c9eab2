#include "memedit/mem_edit_opener.h"

namespace korimo::memedit {

MemEditOpener::MemEditOpener(modKT90& kt90, Prompts& prompts, QWidget* owner)
    : QObject(owner), kt90_(kt90), prompts_(prompts), owner_(owner) {}

void MemEditOpener::Open() {
  if (loading_) {
    return;
  }
  // The load reads the rows and lets events run while it waits on the
  // controller; a click that asks again meanwhile finds it loading.
  // Keep the window for this call: an unload while it is shown drops it
  // from window_ at once.
  const QPointer<frmMemEdit> shown = &window_.Load(*this, [this] {
    loading_ = true;
    auto* window = new frmMemEdit(kt90_, prompts_, owner_);
    loading_ = false;
    return window;
  });
  shown->ShowModal();
}

}  // namespace korimo::memedit
