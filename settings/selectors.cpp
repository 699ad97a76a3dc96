#include "settings/selectors.h"

#include <stdexcept>
#include <string>

namespace Selectors {

const Selector &byTag(int tag)
{
    for (const Selector &selector : All) {
        if (selector.tag == tag)
            return selector;
    }
    throw std::invalid_argument("No option table for selector tag " + std::to_string(tag));
}

} // namespace Selectors
