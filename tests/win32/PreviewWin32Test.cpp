// The preview window in one process: the parent (standing in for the
// miniature screen of Display Properties) lives on a second thread, the
// preview window and its loop on the main thread, as across processes.
#include <stdexcept>

#include "HostWindow.h"
#include "WinTest.h"
#include "saver/SSaverWin32.h"

using namespace wintest;

namespace {

// The white 152 x 112 host window is shared by the suite (Wine takes about
// two seconds to make and end one).
using Parent = HostWindow;

// What the hooks and the timer saw.
struct Seen {
  Qssaver* start = nullptr;
  Qssaver* stop = nullptr;
  int paints = 0;
  HDC paintDC = nullptr;
  COLORREF corners[2] = {CLR_INVALID, CLR_INVALID};
  UINT endMessage = WM_CLOSE;  // how the timer ends the loop
} seen;
Qssaver* running = nullptr;

void CALLBACK Check(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HDC dc = GetDC(running->PreviewWindow);
  seen.corners[0] = GetPixel(dc, 0, 0);
  seen.corners[1] = GetPixel(dc, running->Width - 1, running->Height - 1);
  ReleaseDC(running->PreviewWindow, dc);
  if (seen.endMessage == WM_DESTROY)
    DestroyWindow(running->PreviewWindow);
  else
    PostMessageA(running->PreviewWindow, WM_CLOSE, 0, 0);
}

void OnStart(Qssaver* s) {
  seen.start = s;
  running = s;
  SetTimer(nullptr, 0, 300, Check);
}
void OnStop(Qssaver* s) { seen.stop = s; }
void OnPaint(Qssaver* s) {
  ++seen.paints;
  seen.paintDC = s->DC;
}
void OnPaintThrows(Qssaver*) { throw std::runtime_error("paint failed"); }

bool ClassRegistered() {
  WNDCLASSA wc;
  return GetClassInfoA(GetModuleHandleA(nullptr), "SSaver_Preview_Class", &wc) != 0;
}

class Preview : public ::testing::Test {
 protected:
  void SetUp() override {
    seen = Seen();
    s_.OnPreviewStart = OnStart;
    s_.OnPreviewStop = OnStop;
    s_.Window = parent_->Window();
  }
  static void SetUpTestSuite() { parent_ = new Parent(152, 112); }
  static void TearDownTestSuite() {
    delete parent_;
    parent_ = nullptr;
  }
  // The child goes first, from its own thread: the parent's thread would
  // otherwise wait for this one to destroy it.
  void TearDown() override {
    if (s_.PreviewWindow && IsWindow(s_.PreviewWindow)) DestroyWindow(s_.PreviewWindow);
    // Its WM_DESTROY posted a quit message that the next test must not see.
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    UnregisterClassA("SSaver_Preview_Class", GetModuleHandleA(nullptr));
  }

  static Parent* parent_;
  Qssaver s_;
};

Parent* Preview::parent_ = nullptr;

}  // namespace

TEST_F(Preview, ChildCoversTheParentAndIsBlackWithoutAPaintHandler) {
  SaverPreview(&s_);
  HWND child = s_.PreviewWindow;
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(s_.Width, 152);
  EXPECT_EQ(s_.Height, 112);
  char cls[64] = "";
  GetClassNameA(child, cls, sizeof cls);
  EXPECT_STREQ(cls, "SSaver_Preview_Class");
  char name[64] = "";
  GetWindowTextA(child, name, sizeof name);
  EXPECT_STREQ(name, "SSaver_Preview_Window");
  EXPECT_EQ(GetParent(child), parent_->Window());
  EXPECT_EQ(GetWindowLongA(child, GWL_STYLE) & ~WS_CLIPSIBLINGS, LONG(WS_CHILD | WS_VISIBLE));
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent_->Window(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 152);
  EXPECT_EQ(r.bottom, 112);
  EXPECT_EQ(seen.corners[0], RGB(0, 0, 0));
  EXPECT_EQ(seen.corners[1], RGB(0, 0, 0));
  // WM_CLOSE ended the loop without destroying the window (so the class,
  // which still has a window, stays registered until the parent goes).
  EXPECT_TRUE(IsWindow(child));
}

TEST_F(Preview, DispatchPaintsThroughTheSlotAndBothHooksSeeTheContext) {
  s_.CommandLine = "X.SCR /p " + std::to_string(uintptr_t(parent_->Window()));
  s_.Window = nullptr;
  SaverSetOnPaint(&s_, OnPaint);
  SaverDispatch(&s_, {nullptr, SaverPreview});
  EXPECT_EQ(s_.Window, parent_->Window());
  EXPECT_GE(seen.paints, 1);
  EXPECT_NE(seen.paintDC, nullptr);
  EXPECT_EQ(seen.start, &s_);
  EXPECT_EQ(seen.stop, &s_);
}

TEST_F(Preview, DestroyingTheWindowEndsTheLoopToo) {
  seen.endMessage = WM_DESTROY;
  SaverPreview(&s_);
  EXPECT_FALSE(IsWindow(s_.PreviewWindow));
  EXPECT_EQ(seen.stop, &s_);
  EXPECT_FALSE(ClassRegistered());
}

TEST_F(Preview, AHandleOfNoWindowEndsAtOnce) {
  s_.Window = reinterpret_cast<HWND__*>(uintptr_t(0x7ffffff0));
  SaverPreview(&s_);
  EXPECT_EQ(s_.PreviewWindow, nullptr);
  EXPECT_EQ(seen.start, nullptr);
  EXPECT_FALSE(ClassRegistered());
}

TEST_F(Preview, APaintFailureEndsThePreviewSilently) {
  s_.CommandLine = "X.SCR /p " + std::to_string(uintptr_t(parent_->Window()));
  s_.OnPaint = OnPaintThrows;
  EXPECT_NO_THROW(SaverDispatch(&s_, {nullptr, SaverPreview}));
  EXPECT_EQ(seen.start, &s_);
  EXPECT_EQ(seen.stop, nullptr) << "the stop hook is not called after a failure";
  EXPECT_TRUE(ClassRegistered()) << "the class stays registered after a failure";
}
