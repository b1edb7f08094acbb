# SPDX-License-Identifier: GPL-3.0-or-later
# Which Qt to build with: Qt 5.15 by default, -DVARNEL_QT=6 for Qt 6. Shared by
# the application's build and the stand-alone icon renderer.
set(VARNEL_QT 5 CACHE STRING "Qt major version to build with (5 or 6)")
set_property(CACHE VARNEL_QT PROPERTY STRINGS 5 6)
if(VARNEL_QT STREQUAL "5")
    set(VARNEL_QT_MINIMUM 5.15)
elseif(VARNEL_QT STREQUAL "6")
    set(VARNEL_QT_MINIMUM 6.4)
else()
    message(FATAL_ERROR "VARNEL_QT must be 5 or 6, not '${VARNEL_QT}'")
endif()
