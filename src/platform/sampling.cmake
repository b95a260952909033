# Sampling: power status (one reader per OS), clock, time format and elapsed-time text.
target_sources(korvel_core PRIVATE
    platform/powerstatus.h
    platform/calendar.h
    platform/clock.h platform/clock.cpp
    platform/timeformat.h platform/timeformat.cpp
)
if(WIN32)
    target_sources(korvel_core PRIVATE platform/win/winpowersource.h platform/win/winpowersource.cpp)
else()
    target_sources(korvel_core PRIVATE platform/linux/sysfspowersource.h platform/linux/sysfspowersource.cpp)
endif()
