# Application shell: application object with the error guard, message boxes, module references, timer,
# termination signals.
target_sources(korvel_core PRIVATE
    platform/application.h platform/application.cpp
    platform/messagebox.h platform/messagebox.cpp
    platform/modules.h platform/modules.cpp
    platform/signals.h platform/signals.cpp
    platform/timer.h platform/timer.cpp
)
