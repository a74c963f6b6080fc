# The libraries the Linux download leaves to the player's system: the rule the
# widely used bundling tools follow (the AppImage project's exclude list, which
# linuxdeploy and linuxdeployqt apply). Every other library the programs and
# their Qt plugins load travels in the download. A library listed here is not
# followed further: what it needs comes with it from the system.
#
# Why each stays the system's:
# - the C library: it is the system's loader and kernel interface, and a copy
#   of it cannot be mixed with the system's;
# - the C++ and GCC runtime: the system's graphics driver (Mesa, with its
#   LLVM) is loaded into the process and needs the system's own, which is
#   always at least as new as the one the download was built with;
# - libGL, libEGL, libGLX, libOpenGL and what Mesa brings: they are the
#   graphics driver, made for the machine's own hardware;
# - the core X11 libraries and the font libraries: the display server and the
#   system's fonts and font settings are read through them;
# - a few more libraries every desktop has, which are known to break when an
#   older copy shadows the system's (GLib, zlib, expat, ALSA and the like).
set(TAGSWAP_SYSTEM_LIBRARIES
    # The C library
    ld-linux-x86-64.so.2 libanl.so.1 libBrokenLocale.so.1 libc.so.6 libcidn.so.1 libdl.so.2
    libm.so.6 libmvec.so.1 libnss_compat.so.2 libnss_db.so.2 libnss_dns.so.2 libnss_files.so.2
    libnss_hesiod.so.2 libpthread.so.0 libresolv.so.2 librt.so.1 libthread_db.so.1 libutil.so.1
    # The C++ and GCC runtime
    libstdc++.so.6 libgcc_s.so.1
    # The graphics driver
    libGL.so.1 libEGL.so.1 libGLX.so.0 libGLdispatch.so.0 libOpenGL.so.0 libglapi.so.0
    libgbm.so.1 libdrm.so.2
    # Core X11
    libX11.so.6 libX11-xcb.so.1 libxcb.so.1 libxcb-dri2.so.0 libxcb-dri3.so.0 libICE.so.6
    libSM.so.6
    # Fonts and text
    libfontconfig.so.1 libfreetype.so.6 libharfbuzz.so.0 libfribidi.so.0 libexpat.so.1
    libpango-1.0.so.0 libpangocairo-1.0.so.0 libpangoft2-1.0.so.0 libthai.so.0
    # Every desktop's own
    libz.so.1 libglib-2.0.so.0 libgobject-2.0.so.0 libgio-2.0.so.0 libgdk_pixbuf-2.0.so.0
    libgpg-error.so.0 libuuid.so.1 libusb-1.0.so.0 libasound.so.2 libjack.so.0 libcom_err.so.2
    libp11-kit.so.0 libgmp.so.10)
