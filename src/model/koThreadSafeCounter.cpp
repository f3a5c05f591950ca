#include "koThreadSafeCounter.h"

koThreadSafeCounter::koThreadSafeCounter(unsigned int initialValue) : value(initialValue) {}

koThreadSafeCounter::~koThreadSafeCounter() = default;
