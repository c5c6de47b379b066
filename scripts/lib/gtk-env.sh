# GTK 4 on a bare X display (Xvfb, no desktop session). Sourced: X11, cairo drawing with GL
# left out (no EGL set-up, whose driver also leaks), settings in memory, no accessibility bus.
export GDK_BACKEND=x11 GSK_RENDERER=cairo GDK_DEBUG=gl-disable GSETTINGS_BACKEND=memory
export NO_AT_BRIDGE=1
