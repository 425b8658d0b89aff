#include "digging/form_main.h"
#include "net/exceptions.h"

// Interim: the commands land with the page readers in the next change.
namespace kv {
void TFormMain::DigButtClick() { throw EIdException("digging is not built yet"); }
void TFormMain::DeepButtClick() { throw EIdException("digging is not built yet"); }
void TFormMain::BroadButtClick() { throw EIdException("digging is not built yet"); }
}  // namespace kv
