// Spiralux.scr in preview mode across processes, with this process as
// Display Properties: a host window of the miniature screen's size, the
// program started with its handle, and every way Display Properties ends a
// preview. (Wine does not show what a child window of another process
// paints; the pixels are checked in one process by the draw suite.)
#include "HostWindow.h"
#include "WinTest.h"

using namespace wintest;

namespace {

constexpr DWORD Promptly = 5000;   // an end that takes about a second at most when idle
const char* const PreviewClass = "SSaver_Preview_Class";

std::string Handle(HWND window) { return std::to_string(uintptr_t(window)); }

// The program's child window in the host, once it is there.
struct RunningPreview {
  explicit RunningPreview(HostWindow& host, const std::string& args)
      : scr(Scr(args)), child(scr.Started() ? WaitForChild(host.Window(), PreviewClass, Soon) : nullptr) {}
  Process scr;
  HWND child;
};

}  // namespace

TEST(PreviewProgram, TheChildCoversTheMiniatureScreenForEveryFormOfTheSwitch) {
  HostWindow host(152, 112);
  for (const char* form : {"/p ", "/p:", "-p ", "/P"}) {
    RunningPreview p(host, form + Handle(host.Window()));
    ASSERT_NE(p.child, nullptr) << form;
    char cls[64] = "", name[64] = "";
    GetClassNameA(p.child, cls, sizeof cls);
    GetWindowTextA(p.child, name, sizeof name);
    EXPECT_STREQ(cls, PreviewClass);
    EXPECT_STREQ(name, "SSaver_Preview_Window");
    EXPECT_EQ(GetWindowLongA(p.child, GWL_STYLE) & ~WS_CLIPSIBLINGS, LONG(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(GetWindowLongA(p.child, GWL_EXSTYLE) & ~WS_EX_NOPARENTNOTIFY, 0);
    RECT r;
    GetWindowRect(p.child, &r);
    MapWindowPoints(nullptr, host.Window(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 152);
    EXPECT_EQ(r.bottom, 112);
    DWORD owner = 0;
    GetWindowThreadProcessId(p.child, &owner);
    EXPECT_EQ(owner, p.scr.Id());
    PostMessageA(p.child, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.scr.Ends(Promptly)) << form;
    EXPECT_EQ(p.scr.ExitCode(), 0u);
  }
}

TEST(PreviewProgram, EndsAfterCloseAfterDestroyAndWithTheHostWindow) {
  {
    HostWindow host(152, 112);
    RunningPreview p(host, "/p " + Handle(host.Window()));
    ASSERT_NE(p.child, nullptr);
    PostMessageA(p.child, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.scr.Ends(Promptly)) << "WM_CLOSE";
  }
  {
    HostWindow host(152, 112);
    RunningPreview p(host, "/p " + Handle(host.Window()));
    ASSERT_NE(p.child, nullptr);
    PostMessageA(p.child, WM_DESTROY, 0, 0);
    EXPECT_TRUE(p.scr.Ends(Promptly)) << "WM_DESTROY";
  }
  {
    HostWindow host(152, 112);
    RunningPreview p(host, "/p " + Handle(host.Window()));
    ASSERT_NE(p.child, nullptr);
    host.Destroy();
    EXPECT_TRUE(p.scr.Ends(Promptly)) << "the host window destroyed";
    EXPECT_EQ(p.scr.ExitCode(), 0u);
  }
}

TEST(PreviewProgram, TheGuardIsHeldOnlyWhileAPreviewRuns) {
  HostWindow host(152, 112);
  std::string args = "/p " + Handle(host.Window());
  {
    RunningPreview first(host, args);
    ASSERT_NE(first.child, nullptr);
    Process second(Scr(args));
    ASSERT_TRUE(second.Started());
    EXPECT_TRUE(second.Ends(Soon)) << "a second preview ends silently";
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_EQ(FindWindowExA(host.Window(), first.child, PreviewClass, nullptr), nullptr);
    // Display Properties may also end a preview by terminating it.
    ASSERT_TRUE(first.scr.Running());
  }
  // The terminated preview left its guard behind it: a new one starts.
  RunningPreview again(host, args);
  ASSERT_NE(again.child, nullptr);
  PostMessageA(again.child, WM_CLOSE, 0, 0);
  EXPECT_TRUE(again.scr.Ends(Promptly));
}

TEST(PreviewProgram, AnEmptyMiniatureScreenLeavesNoProcessOnceItsHostIsGone) {
  for (auto size : {std::pair<int, int>{0, 112}, {152, 0}}) {
    HostWindow host(size.first, size.second);
    Process scr(Scr("/p " + Handle(host.Window())));
    ASSERT_TRUE(scr.Started());
    // A paint of the empty window, if one comes, is refused by the scaler
    // and ends preview mode at once; otherwise the host's end ends it.
    WaitForChild(host.Window(), PreviewClass, Soon);
    host.Destroy();
    EXPECT_TRUE(scr.Ends(Promptly)) << size.first << " x " << size.second;
    EXPECT_EQ(scr.ExitCode(), 0u);
  }
}
