#include "app/form_main.h"

#include "base/cp1251.h"

namespace kv {

TFormMainModel::TFormMainModel(Component* owner) : Component(owner) { Name = "FormMain"; }

void TFormMainModel::FormShow() {
  StrGrid1.SetColWidth(0, 192);
  StrGrid1.SetColWidth(1, 130);
  StrGrid1.SetCell(0, 0, "Кейворд"_w1251);
  StrGrid1.SetCell(1, 0, "Всего запросов"_w1251);
}

}  // namespace kv
