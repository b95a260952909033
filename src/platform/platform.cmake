# Stand-ins for the platform: application object, error boxes, module references, timer,
# power status, clock and time format. The power-status reader is chosen per OS.
target_sources(korvel_core PRIVATE
    platform/exception.h platform/exception.cpp
)
include(platform/shell.cmake OPTIONAL)
include(platform/sampling.cmake OPTIONAL)
