# Installs fiberview as a desktop application and packages it as a Debian package.
#
# Expects the `fiberview` executable target and PROJECT_VERSION. Installs, under the prefix:
#   bin/fiberview
#   share/applications/<id>.desktop             the menu entry
#   share/icons/hicolor/scalable/apps/<id>.svg  the icon, also built into the program as
#                                               the resource :/icons/<id>.svg
#   share/metainfo/<id>.metainfo.xml            the software-centre description
#   share/fiberview/samples/*.txt               the sample files
#   share/man/man1/fiberview.1.gz              the manual page, from docs/fiberview.1
#   share/doc/fiberview/LICENSE
#   share/doc/fiberview/README.md, docs/*.png   the README and its pictures
# where <id> is io.github.fiberview.FiberView.
# `cpack -G DEB` in the build folder then writes fiberview_<version>_<arch>.deb for /usr.

include(GNUInstallDirs)

set(FIBERVIEW_APP_ID io.github.fiberview.FiberView)
set(FIBERVIEW_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)


# The window shows the same icon as the menu, from the program's resources, so it needs no
# installed file to find it.
set_target_properties(fiberview PROPERTIES AUTORCC ON)
target_sources(fiberview PRIVATE ${FIBERVIEW_PACKAGING_DIR}/fiberview.qrc)

install(TARGETS fiberview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${FIBERVIEW_PACKAGING_DIR}/${FIBERVIEW_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${FIBERVIEW_PACKAGING_DIR}/${FIBERVIEW_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${FIBERVIEW_PACKAGING_DIR}/${FIBERVIEW_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/fiberview/samples
        FILES_MATCHING PATTERN "*.txt")
# The MIT licence asks for its notice to travel with every copy.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README where a user of the package looks for it, with the pictures it shows.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.png")

# The manual page, compressed as Debian installs manual pages. Built with the program, so
# that the build of the program alone can install it.
set(FIBERVIEW_MANUAL ${PROJECT_BINARY_DIR}/fiberview.1.gz)
add_custom_command(OUTPUT ${FIBERVIEW_MANUAL}
  COMMAND sh -c "gzip -9 -n -c \"$1\" > \"$2\"" sh ${PROJECT_SOURCE_DIR}/docs/fiberview.1
          ${FIBERVIEW_MANUAL}
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/fiberview.1
  VERBATIM)
add_custom_target(fiberview_manual DEPENDS ${FIBERVIEW_MANUAL})
add_dependencies(fiberview fiberview_manual)
install(FILES ${FIBERVIEW_MANUAL} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fiberview)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "fiberview 项目组")
set(CPACK_PACKAGE_CONTACT "fiberview 项目组 <fiberview@users.noreply.github.com>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/fiberview/fiberview)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "纤维截面查看器：逐个绘出 Korvex 纤维模型的截面")
set(CPACK_PACKAGE_DESCRIPTION
    "读取 Korvex 分析程序为纤维模型写出的截面文件（老版本或新版本格式），列出其中的截面并逐个绘出：
混凝土纤维画作红色圆盘，钢筋纤维画作黑色圆盘。
图旁显示截面的说明、三项截面特性以及外包矩形的宽度和高度。
示例文件安装在 /usr/share/fiberview/samples。")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the window's CJK font (also embedded
# in the PDF reports), Qt's Chinese texts for its own dialogs, and the plugin that draws the
# SVG window icon. The program links Qt SVG for its picture export and Qt Concurrent for its
# workers; dpkg-shlibdeps adds libqt6svg6 and libqt6concurrent6 for those.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei, qt6-translations-l10n, libqt6svg6")

include(CPack)
