#include "platform/ui/Responder.h"

#include "platform/ui/View.h"

namespace ui {

void Responder::touchesBegan(const TouchSet& touches, const Event& event) {
  if (Responder* next = nextResponder()) next->touchesBegan(touches, event);
}
void Responder::touchesMoved(const TouchSet& touches, const Event& event) {
  if (Responder* next = nextResponder()) next->touchesMoved(touches, event);
}
void Responder::touchesEnded(const TouchSet& touches, const Event& event) {
  if (Responder* next = nextResponder()) next->touchesEnded(touches, event);
}
void Responder::touchesCancelled(const TouchSet& touches, const Event& event) {
  if (Responder* next = nextResponder()) next->touchesCancelled(touches, event);
}

Point Touch::locationInView(const View* view) const {
  return view ? view->convertPointFrom(location_, nullptr) : location_;
}

Point Touch::previousLocationInView(const View* view) const {
  return view ? view->convertPointFrom(previous_, nullptr) : previous_;
}

TouchSet Event::touchesForView(const View* view) const {
  TouchSet out;
  for (Touch* t : all_)
    if (t->view() == view) out.push_back(t);
  return out;
}

}  // namespace ui
