#include "platform/blocked_close.h"

#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QByteArray>
#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>

namespace kelvane::platform {
namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  const xcb_atom_t value = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return value;
}

class BlockedCloseFilter : public QAbstractNativeEventFilter {
 public:
  explicit BlockedCloseFilter(xcb_connection_t* connection)
      : protocols_(atom(connection, "WM_PROTOCOLS")),
        deleteWindow_(atom(connection, "WM_DELETE_WINDOW")) {}

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t" || deleteWindow_ == XCB_ATOM_NONE) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
    const auto* request = reinterpret_cast<const xcb_client_message_event_t*>(event);
    if (request->format != 32 || request->type != protocols_ ||
        request->data.data32[0] != deleteWindow_) {
      return false;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return false;  // Qt closes it as usual
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window != modal && window->isVisible() && window->internalWinId() == request->window) {
        // Later, from the event loop: the close may end nested loops.
        QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
        return true;
      }
    }
    return false;
  }

 private:
  xcb_atom_t protocols_;
  xcb_atom_t deleteWindow_;
};

}  // namespace

void letBlockedWindowsClose() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (x11 == nullptr || x11->connection() == nullptr) return;
  // Lives as long as the program.
  static BlockedCloseFilter filter(x11->connection());
  qGuiApp->installNativeEventFilter(&filter);
}

}  // namespace kelvane::platform
