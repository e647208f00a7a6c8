#include "search.h"

namespace browse {

namespace {

// Fetches the first page under new criteria; an empty answer asks whether to
// try again (true) or to drop the criteria.
QRDSTATUS tryCriteria(Pager& pager, SearchPrompts& prompts, bool& again) {
    again = false;
    if (QRDSTATUS s = pager.first()) return s;
    if (!pager.rows().empty()) return QRD_OK;
    if (prompts.askTooRestrictive()) {
        again = true;
        return QRD_OK;
    }
    pager.clearCriteria();
    return pager.first();
}

} // namespace

QRDSTATUS refineSearch(Pager& pager, SearchPrompts& prompts) {
    for (bool again = true; again;) {
        std::string name = pager.pattern(), description = pager.descriptionPattern();
        if (!prompts.askRefine(name, description)) return QRD_OK;
        pager.refine(name, description);
        if (QRDSTATUS s = tryCriteria(pager, prompts, again)) return s;
    }
    return QRD_OK;
}

QRDSTATUS findByAttribute(Pager& pager, SearchPrompts& prompts) {
    for (bool again = true; again;) {
        std::vector<AttributeCriterion> criteria;
        if (!prompts.askAttributes(criteria)) {
            pager.clearCriteria();
            return pager.first();
        }
        pager.setAttributeCriteria(criteria);
        if (QRDSTATUS s = tryCriteria(pager, prompts, again)) return s;
    }
    return QRD_OK;
}

bool addAttributeCriterion(std::vector<AttributeCriterion>& criteria, AttributeCriterion c) {
    if (criteria.size() >= kMaxAttributeCriteria) return false;
    criteria.push_back(std::move(c));
    return true;
}

} // namespace browse
