# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quenby Works
# Puts the shipped update file beside a freshly built program that has no settings yet.
if(NOT EXISTS "${DIR}/settings.dat" AND NOT EXISTS "${DIR}/newntsettings.dat")
  file(COPY "${SRC}" DESTINATION "${DIR}")
endif()
