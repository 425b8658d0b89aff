#pragma once
// What a widget last showed of its model control. Every control of the
// window model counts its changes in Revision(); the widget remembers the
// revision it showed, so that it redraws only when the control changed
// since.

namespace kv::ui {

template <typename Control>
class RevisionSync {
 public:
  explicit RevisionSync(const Control& control) : control_(control) {}

  // The control changed since it was last shown (or was never shown).
  bool Changed() const { return control_.Revision() != shown_; }
  // The control as it is now is what the widget shows.
  void MarkShown() { shown_ = control_.Revision(); }

  // Runs `change`, a change of the control that the widget already shows
  // (the user made it on the screen): it needs no redraw, unless an earlier
  // change was still waiting to be shown.
  template <typename Change>
  void ApplyShownChange(Change&& change) {
    const bool was_shown = !Changed();
    change();
    if (was_shown) MarkShown();
  }

 private:
  static constexpr unsigned long kNothingShown = ~0UL;

  const Control& control_;
  unsigned long shown_ = kNothingShown;
};

}  // namespace kv::ui
