# The terminal dialog back end (platform/ui/Terminal*.cpp, in korvane_core) draws with ncurses,
# wide-character build.
find_library(KORVANE_NCURSESW_LIBRARY ncursesw REQUIRED)
find_library(KORVANE_TINFO_LIBRARY NAMES tinfow tinfo)
target_link_libraries(korvane_core PUBLIC ${KORVANE_NCURSESW_LIBRARY})
if(KORVANE_TINFO_LIBRARY)
    target_link_libraries(korvane_core PUBLIC ${KORVANE_TINFO_LIBRARY})
endif()
