# The Debian package (cpack -G DEB): the installed tree of the program, with what it needs at run time. The
# shared libraries it links (Qt 6, GStreamer, libcdio) come from dpkg-shlibdeps where it is installed (package
# dpkg-dev), else from the list below; the rest are plugins and data it loads by name.
set(CPACK_PACKAGE_NAME glview3)
set(CPACK_PACKAGE_VENDOR "The Glintview developers")
set(CPACK_PACKAGE_CONTACT "The Glintview developers <glintview@example.com>")
set(CPACK_PACKAGE_HOMEPAGE_URL "http://www.example.com")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file browser, picture viewer and media player in one window")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/strip_package.cmake)
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The summary above is the package's first line; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Glintview walks drives and folders in one small window: click a file and see\n\
the picture (bitmaps, icons, cursors, metafiles, JPEG, GIF, PNG, WebP, TIFF,\n\
SVG, HEIF, AVIF, JPEG XL; zoom, scroll, drag, full screen), or hear and see\n\
the sound or movie (WAV, MIDI, AVI, QuickTime, MPEG, VCD movies, the audio\n\
CD). It keeps a list of favourites. The interface is in English and\n\
Traditional Chinese.")
set(glv_runtime_depends
    "gstreamer1.0-plugins-base"
    "gstreamer1.0-plugins-good"
    "gstreamer1.0-plugins-bad"
    "gstreamer1.0-plugins-ugly"
    "gstreamer1.0-libav"
    "gstreamer1.0-alsa | gstreamer1.0-pulseaudio"
    "timgm6mb-soundfont | fluid-soundfont-gm"
    # Chinese with a bold of its own; the program draws every Chinese text in it.
    "fonts-noto-cjk"
    # Qt's own buttons and dialogs in Chinese.
    "qt6-translations-l10n"
    # WebP, TIFF and the other pictures that Qt reads through plugins nothing links.
    "qt6-image-formats-plugins")
find_program(GLV_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(GLV_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  list(PREPEND glv_runtime_depends libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libgstreamer1.0-0
       libgstreamer-plugins-base1.0-0 libcdio19 libqt6svg6 libjpeg62-turbo libheif1 libjxl0.7)
endif()
list(JOIN glv_runtime_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

include(CPack)
