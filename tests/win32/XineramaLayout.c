/* A stand-in for libXinerama.so.1 that reports the monitors of the
   environment variable SPIRALUX_MONITORS on one wide Xvfb screen, so that
   the Wine tests can give the player any layout of monitors. Wine reads its
   monitors from Xinerama when HKCU\Software\Wine\X11 Driver UseXRandR is N,
   and opens the library by that name: a folder holding this one, first on
   LD_LIBRARY_PATH, puts it in the real one's place.

   SPIRALUX_MONITORS is a list of WxH+X+Y in X root coordinates, separated
   by blanks, the primary monitor first (Wine's default PrimaryMonitor is
   0): "1920x1080+1080+0 1080x1920+0+0" is a 1920 x 1080 primary monitor
   with a 1080 x 1920 portrait one left of it.

   Built with the host compiler without the C library's headers or start-up
   files (tests/win32/player_wine_test.py: cc -shared -fPIC -nostdlib, with
   -m32 for the 32-bit side of Wine as well); malloc comes from the C
   library already in the process, and Wine frees the answer with XFree,
   which calls free. */

typedef struct {
  int screen_number;
  short x_org, y_org, width, height;
} XineramaScreenInfo;

extern void *malloc(__SIZE_TYPE__ size);
extern char *getenv(const char *name);

enum { MaxMonitors = 16 };

/* The next number of text at *at, moved past it and one separator. */
static int Number(const char **at) {
  int value = 0;
  while (**at >= '0' && **at <= '9') value = value * 10 + (*(*at)++ - '0');
  if (**at == 'x' || **at == '+') ++*at;
  return value;
}

static int Parse(const char *text, XineramaScreenInfo *out) {
  int count = 0;
  while (text && *text && count < MaxMonitors) {
    if (*text == ' ') {
      ++text;
      continue;
    }
    out[count].screen_number = count;
    out[count].width = (short)Number(&text);
    out[count].height = (short)Number(&text);
    out[count].x_org = (short)Number(&text);
    out[count].y_org = (short)Number(&text);
    ++count;
    while (*text && *text != ' ') ++text;
  }
  return count;
}

int XineramaQueryExtension(void *display, int *eventBase, int *errorBase) {
  *eventBase = 0;
  *errorBase = 0;
  return 1;
}

int XineramaIsActive(void *display) { return 1; }

XineramaScreenInfo *XineramaQueryScreens(void *display, int *number) {
  XineramaScreenInfo parsed[MaxMonitors], *screens;
  int count = Parse(getenv("SPIRALUX_MONITORS"), parsed), i;
  screens = count ? malloc(sizeof(XineramaScreenInfo) * (__SIZE_TYPE__)count) : 0;
  for (i = 0; screens && i < count; ++i) screens[i] = parsed[i];
  *number = screens ? count : 0;
  return screens;
}
