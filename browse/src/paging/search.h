// The two ways of narrowing a search: "Refine search" (a name pattern and a
// description pattern) and "Find by attribute" (patterns for up to five
// attributes). Both ask the person through SearchPrompts and retry while the
// answer is empty and the person wants to.
#pragma once

#include <string>
#include <vector>

#include "pager.h"

namespace browse {

class SearchPrompts {
  public:
    virtual ~SearchPrompts() = default;
    // The refine dialog, filled with the current patterns; false on Cancel.
    virtual bool askRefine(std::string& namePattern, std::string& descriptionPattern) = 0;
    // The attribute selection dialog; false on Cancel.
    virtual bool askAttributes(std::vector<AttributeCriterion>& criteria) = 0;
    // "No names match criteria": true for OK (try again), false for Cancel.
    virtual bool askTooRestrictive() = 0;
};

QRDSTATUS refineSearch(Pager& pager, SearchPrompts& prompts);
QRDSTATUS findByAttribute(Pager& pager, SearchPrompts& prompts);

// Adds a criterion unless five are chosen already (then false: the dialog
// says "No more than 5 attribute search criteria can be specified.").
bool addAttributeCriterion(std::vector<AttributeCriterion>& criteria, AttributeCriterion c);

} // namespace browse
