#pragma once

// Marks the classes and functions the shared library exports; everything else stays hidden.
#define KOTOLVANE_API __attribute__((visibility("default")))
