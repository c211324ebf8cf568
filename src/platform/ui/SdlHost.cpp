#include "platform/ui/SdlHost.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/foundation/StopRequest.h"
#include "platform/ui/Application.h"
#include "platform/ui/EventClock.h"
#include "platform/ui/MouseFingers.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TextField.h"
// Last: its macros (Status, None, ...) would rename names of the headers above.
#include <SDL_syswm.h>
#include <X11/Xlib.h>

namespace ui {

namespace {
constexpr std::int64_t kTouchFingerBase = 1000;

// The X library's own end of the process (on a broken connection, and on
// any request the server refuses) comes after the program has saved.
using GetErrorText = int (*)(Display*, int, char*, int);
GetErrorText gErrorText = nullptr;

int onConnectionLost(Display*) { SdlHost::displayLost(); }

int onRequestRefused(Display* display, XErrorEvent* error) {
  char text[160] = "";
  if (gErrorText != nullptr) gErrorText(display, error->error_code, text, sizeof text);
  char why[320];
  std::snprintf(why, sizeof why, "the display refused a request (%s; request %d.%d, resource 0x%lx)", text,
                error->request_code, error->minor_code, error->resourceid);
  SdlHost::displayLost(why);
}

// SDL talks to the X server through the X library it loaded; the handlers
// go into that copy.
void catchDisplayLoss() {
  void* x11 = ::dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (x11 == nullptr) return;
  gErrorText = reinterpret_cast<GetErrorText>(::dlsym(x11, "XGetErrorText"));
  if (auto set = reinterpret_cast<XIOErrorHandler (*)(XIOErrorHandler)>(::dlsym(x11, "XSetIOErrorHandler")))
    set(&onConnectionLost);
  if (auto set = reinterpret_cast<XErrorHandler (*)(XErrorHandler)>(::dlsym(x11, "XSetErrorHandler")))
    set(&onRequestRefused);
  ::dlclose(x11);
}

// When SDL read an event, on the run loop's clock: its stamp is SDL's tick
// count then.
double readAt(const SDL_Event& e) {
  const auto ago = static_cast<std::int32_t>(SDL_GetTicks() - e.common.timestamp);
  return fd::RunLoop::main().now() - std::max(ago, 0) / 1000.0;
}

// The X server's stamp of an input event, the moment it was made; SDL's own
// is the moment it read it, which a busy loop makes late.
std::optional<std::uint32_t> serverStamp(const XEvent& x) {
  switch (x.type) {
    case ButtonPress:
    case ButtonRelease: return static_cast<std::uint32_t>(x.xbutton.time);
    case MotionNotify: return static_cast<std::uint32_t>(x.xmotion.time);
    case KeyPress:
    case KeyRelease: return static_cast<std::uint32_t>(x.xkey.time);
    case EnterNotify:
    case LeaveNotify: return static_cast<std::uint32_t>(x.xcrossing.time);
    default: return std::nullopt;
  }
}

// The modifier keys held when the X server made a pointer event; SDL's own
// state is the keys' as it read the last of them, which a busy loop reads
// past a Ctrl let go after the click.
std::optional<MouseModifiers> serverModifiers(const XEvent& x) {
  unsigned state = 0;
  switch (x.type) {
    case ButtonPress:
    case ButtonRelease: state = x.xbutton.state; break;
    case MotionNotify: state = x.xmotion.state; break;
    default: return std::nullopt;
  }
  return MouseModifiers{(state & ControlMask) != 0, (state & ShiftMask) != 0};
}
}  // namespace

void SdlHost::displayLost(const char* why) {
  std::fprintf(stderr, "flipdesk: %s; saving and ending.\n", why);
  // The application's own termination saves what can be saved; nothing of
  // the window (whose server is gone) is touched again.
  Application& app = Application::shared();
  app.terminate();
  std::fflush(nullptr);
  std::exit(app.exitStatus() != 0 ? app.exitStatus() : kDisplayLostExitCode);
}

struct SdlHost::Impl {
  SDL_Window* window = nullptr;
  // The window shows the last frame again without a new compose (after it
  // was uncovered or its surface changed).
  bool showWhole = true;
  MouseFingers mouse;
  fd::TimerRef pumpTimer;
  bool sdlStarted = false;
  // On X, SDL hands over each core X event just before the events it makes
  // of it: the mouse and keyboard events that follow one with a stamp were
  // made when it says. A touch screen's events come through the input
  // extension, handed over only after the events made of them, and are
  // taken as made when SDL read them.
  EventClock serverClock;
  std::optional<double> serverMadeAt;
  std::optional<MouseModifiers> heldWhenMade;
  // SDL keeps the button down after the window lost it (unmapped, or the
  // pointer taken by another program) until it hears a release, and drops
  // the presses it hears meanwhile as no change: the host takes those from
  // the window system's own events.
  bool sdlHoldsTheButton = false;
  void noteWindowSystemEvent(const SDL_Event& e) {
    serverMadeAt.reset();
    heldWhenMade.reset();
    if (e.syswm.msg == nullptr || e.syswm.msg->subsystem != SDL_SYSWM_X11) return;
    const XEvent& x = e.syswm.msg->msg.x11.event;
    // Another program's event (sent by a tool that clicks or types for the
    // user) carries a stamp of its choosing, not the server's.
    if (const std::optional<std::uint32_t> stamp = serverStamp(x))
      serverMadeAt = serverClock.madeAt(*stamp, readAt(e), x.xany.send_event != 0);
    heldWhenMade = serverModifiers(x);
    if (x.type == LeaveNotify && x.xcrossing.mode == NotifyGrab) loseTheButton(readAt(e));
    if (x.type == ButtonPress && x.xbutton.button == Button1 && sdlHoldsTheButton) {
      const float k = Screen::main().scale();
      MouseFingers::dispatch(mouse.change(MouseFingers::Action::Down,
                                          {static_cast<float>(x.xbutton.x) / k, static_cast<float>(x.xbutton.y) / k},
                                          modifiers(), madeAt(e)));
    }
  }
  // The window no longer hears the button: the stroke or gesture under way
  // is cancelled, and the next press starts anew.
  void loseTheButton(double at) {
    MouseFingers::dispatch(mouse.cancel(at));
    sdlHoldsTheButton = (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0;
  }
  double madeAt(const SDL_Event& e) const { return serverMadeAt.value_or(readAt(e)); }
  // A close the user asked (the window's close, or the window destroyed
  // under the program) that the loop has not handled yet: long work on the
  // main thread looks for it between its steps (fd::endAsked), reading the
  // window system's input at most every kCloseLookInterval, and gives up.
  bool closeAsked = false;
  unsigned long xWindow = 0;
  std::chrono::steady_clock::time_point lastLook{};
  static constexpr std::chrono::milliseconds kCloseLookInterval{30};
  // SDL hands each event here as it takes it in, wherever it was read from.
  static int SDLCALL noteAdded(void* self, SDL_Event* e) {
    auto* impl = static_cast<Impl*>(self);
    if (e->type == SDL_QUIT || (e->type == SDL_WINDOWEVENT && e->window.event == SDL_WINDOWEVENT_CLOSE) ||
        impl->destroysTheWindow(*e))
      impl->closeAsked = true;
    return 1;
  }
  bool destroysTheWindow(const SDL_Event& e) const {
    if (e.type != SDL_SYSWMEVENT || e.syswm.msg == nullptr || e.syswm.msg->subsystem != SDL_SYSWM_X11) return false;
    const XEvent& x = e.syswm.msg->msg.x11.event;
    return x.type == DestroyNotify && xWindow != 0 && x.xdestroywindow.window == xWindow;
  }
  bool lookForClose() {
    const auto now = std::chrono::steady_clock::now();
    if (!closeAsked && now - lastLook >= kCloseLookInterval) {
      lastLook = now;
      SDL_PumpEvents();
    }
    return closeAsked;
  }
  MouseModifiers modifiers() const {
    if (heldWhenMade) return *heldWhenMade;
    const SDL_Keymod held = SDL_GetModState();
    return {(held & KMOD_CTRL) != 0, (held & KMOD_SHIFT) != 0};
  }
};

SdlHost::SdlHost() : impl_(std::make_unique<Impl>()) {}

SdlHost::~SdlHost() {
  if (impl_->pumpTimer) impl_->pumpTimer->invalidate();
  if (impl_->sdlStarted) {
    fd::setEndWatch({});
    SDL_DelEventWatch(&Impl::noteAdded, impl_.get());
  }
  if (impl_->window) SDL_DestroyWindow(impl_->window);
  // The window host owns SDL for the program's life: quitting it whole lets
  // SDL release its system connections (the session bus among them).
  if (impl_->sdlStarted) SDL_Quit();
}

bool SdlHost::open(const std::string& title, std::string* error) {
  // Touches arrive as touches; the mouse events SDL would make from them
  // would be a second finger.
  SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
  SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
  // The canvases draw with EGL contexts of their own on the main thread; a
  // GL context of SDL's current in the same thread (its renderer's, or the
  // one it may hide behind a window surface) takes their place between
  // draws. The composed frame is blitted into the window's surface in
  // software instead, only the parts that changed.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // One close is one request: the window's own close event says it, and no
  // second request follows it as the last window's.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (error) *error = SDL_GetError();
    return false;
  }
  impl_->sdlStarted = true;
  // Without a display SDL settles for a driver that draws nowhere; a window
  // nobody can see would run until killed, so say so instead.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
    if (error) *error = std::string("no display to show a window on (only the \"") + driver + "\" video driver)";
    return false;
  }
  if (driver && std::strcmp(driver, "x11") == 0) {
    catchDisplayLoss();
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  }
  const Screen& s = Screen::main();
  impl_->window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, s.pixelWidth(),
                                   s.pixelHeight(), SDL_WINDOW_SHOWN);
  if (!impl_->window) {
    if (error) *error = SDL_GetError();
    return false;
  }
  if (!SDL_GetWindowSurface(impl_->window)) {
    if (error) *error = SDL_GetError();
    return false;
  }
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(impl_->window, &info) && info.subsystem == SDL_SYSWM_X11) impl_->xWindow = info.info.x11.window;
  SDL_AddEventWatch(&Impl::noteAdded, impl_.get());
  fd::setEndWatch([impl = impl_.get()] { return impl->lookForClose(); });
  return true;
}

void SdlHost::handleMouse(const SDL_Event& e, int x, int y) {
  const float k = Screen::main().scale();
  const MouseFingers::Action action = e.type == SDL_MOUSEBUTTONDOWN ? MouseFingers::Action::Down
                                      : e.type == SDL_MOUSEBUTTONUP ? MouseFingers::Action::Up
                                                                    : MouseFingers::Action::Move;
  if (action == MouseFingers::Action::Up) impl_->sdlHoldsTheButton = false;
  MouseFingers::dispatch(impl_->mouse.change(action, {x / k, y / k}, impl_->modifiers(), impl_->madeAt(e)));
}

void SdlHost::pump() {
  Application& app = Application::shared();
  const Screen& screen = Screen::main();
  SDL_Event e;
  impl_->serverMadeAt.reset();
  impl_->heldWhenMade.reset();
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_SYSWMEVENT:
        // Nothing more can be shown: what ends the program when a request
        // on the window is refused ends it now, whether or not anything
        // would be drawn.
        if (impl_->destroysTheWindow(e)) displayLost("the window was destroyed");
        impl_->noteWindowSystemEvent(e);
        break;
      // Closing is the user's request: the application may refuse it (a page
      // that cannot be saved), and then everything goes on.
      case SDL_QUIT:
        impl_->closeAsked = false;
        if (app.requestTermination()) return;
        break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) impl_->closeAsked = false;
        if (e.window.event == SDL_WINDOWEVENT_CLOSE && app.requestTermination()) return;
        if (e.window.event == SDL_WINDOWEVENT_HIDDEN || e.window.event == SDL_WINDOWEVENT_MINIMIZED)
          impl_->loseTheButton(readAt(e));
        if (e.window.event == SDL_WINDOWEVENT_MINIMIZED) app.enterBackground();
        if (e.window.event == SDL_WINDOWEVENT_RESTORED) app.enterForeground();
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
            e.window.event == SDL_WINDOWEVENT_RESTORED)
          impl_->showWhole = true;
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        if (e.button.which != SDL_TOUCH_MOUSEID && e.button.button == SDL_BUTTON_LEFT)
          handleMouse(e, e.button.x, e.button.y);
        break;
      case SDL_MOUSEMOTION:
        if (e.motion.which != SDL_TOUCH_MOUSEID)
          handleMouse(e, e.motion.x, e.motion.y);
        break;
      // The keyboard reaches the text field that edits, if any.
      case SDL_TEXTINPUT: deliverTypedText(e.text.text, impl_->madeAt(e)); break;
      case SDL_KEYDOWN:
        switch (e.key.keysym.sym) {
          case SDLK_BACKSPACE: deliverEditingKey(EditingKey::Backspace, impl_->madeAt(e)); break;
          case SDLK_RETURN:
          case SDLK_KP_ENTER: deliverEditingKey(EditingKey::Return, impl_->madeAt(e)); break;
          case SDLK_ESCAPE: deliverEditingKey(EditingKey::Escape, impl_->madeAt(e)); break;
          default: break;
        }
        break;
      case SDL_FINGERDOWN:
      case SDL_FINGERMOTION:
      case SDL_FINGERUP: {
        TouchPhase phase = e.type == SDL_FINGERDOWN ? TouchPhase::Began
                           : e.type == SDL_FINGERUP ? TouchPhase::Ended
                                                    : TouchPhase::Moved;
        Rect b = screen.bounds();
        app.touches().dispatch({{kTouchFingerBase + static_cast<std::int64_t>(e.tfinger.fingerId),
                                 {e.tfinger.x * b.width, e.tfinger.y * b.height}, phase, readAt(e)}});
        break;
      }
      default: break;
    }
  }
  if (app.isTerminated() || !impl_->window) return;
  // Nothing is drawn or shown while the screen stays as it is.
  const bool composed = app.composeScreen();
  if (!composed && !impl_->showWhole) return;
  Compositor& c = app.compositor();
  SDL_Surface* target = SDL_GetWindowSurface(impl_->window);
  if (!target || !c.framePixels()) return;
  SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(c.framePixels()),
                                                          c.frameWidth(), c.frameHeight(), 32, c.frameStride(),
                                                          SDL_PIXELFORMAT_ARGB8888);
  if (!frame) return;
  SDL_SetSurfaceBlendMode(frame, SDL_BLENDMODE_NONE);
  std::vector<SDL_Rect> rects;
  if (impl_->showWhole) {
    rects.push_back({0, 0, c.frameWidth(), c.frameHeight()});
  } else {
    for (const PixelRect& r : c.changedRects()) rects.push_back({r.x, r.y, r.width, r.height});
  }
  for (SDL_Rect r : rects) {
    SDL_Rect at = r;
    SDL_BlitSurface(frame, &r, target, &at);
  }
  SDL_FreeSurface(frame);
  if (SDL_UpdateWindowSurfaceRects(impl_->window, rects.data(), static_cast<int>(rects.size())) == 0)
    impl_->showWhole = false;
}

void SdlHost::run() {
  impl_->pumpTimer = fd::RunLoop::main().scheduleTimer(1.0 / 60, true, [this] { pump(); });
  pump();
  if (!Application::shared().isTerminated()) fd::RunLoop::main().run();
  impl_->pumpTimer->invalidate();
}

}  // namespace ui
