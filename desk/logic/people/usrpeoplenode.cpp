#include "people/usrpeoplenode.h"

#include <QByteArray>
#include <QStringList>

#include <namedir/directory.h>
#include <namedir/errors.h>

#include "core/activation.h"
#include "core/context.h"
#include "core/prompter.h"
#include "core/strings.h"
#include "nodes/usrnoderegistry.h"

namespace {
bool fail(long& error, long code) {
    error = code;
    return false;
}

// A user without a card is not a desktop user.
long cardCode(long code) {
    return (code == DIR_ATTR_MISSING || code == DIR_NOT_DESKTOP_USER) ? long(DIR_NOT_A_USER) : code;
}

constexpr long kRootFolderName = 150; // "My Desktop"
} // namespace

std::unique_ptr<USRNode> USRMakePeopleNode(USRContext& context) {
    return std::make_unique<USRPeopleNode>(context);
}

USRPeopleNode::USRPeopleNode(USRContext& context) : USRItemNode(context, DIR_TYPE_PERSON) {}

void USRPeopleNode::setText(int index, const std::string& text) {
    if (texts_.at(size_t(index)) == text) return;
    texts_.at(size_t(index)) = text;
    if (index == 0) setName(text);
    setChanged(CHANGED_FIELDS);
}

void USRPeopleNode::takeCard(const DIRUserBusinessCard& card) {
    for (int i = 0; i < kTexts; ++i)
        texts_[size_t(i)] = card.*DIRUserBusinessCard::kTexts[i];
    logo_ = card.logo;
    setName(texts_[0]);
    clearChangeFlags();
    setReferencesChanged(false);
}

DIRUserBusinessCard USRPeopleNode::makeCard() const {
    DIRUserBusinessCard card;
    for (int i = 0; i < kTexts; ++i)
        card.*DIRUserBusinessCard::kTexts[i] = texts_[size_t(i)];
    card.logo = logo_;
    return card;
}

USRPeopleNode* USRPeopleNode::findCard(USRContext& context, const std::string& user, long& error) {
    DIRUserBusinessCard card;
    DIRAddressPtr address;
    long e = 0;
    if (!context.dir().getBusinessCardInfo(user, card, address, e))
        return fail(error, cardCode(e)), nullptr;
    USRNode* known = nullptr;
    if (context.people().lookup(address->uniqueKey, known, e)) {
        auto* person = static_cast<USRPeopleNode*>(known);
        person->takeCard(card);
        error = 0;
        return person;
    }
    auto node = std::make_unique<USRPeopleNode>(context);
    if (!node->setAddress(address.get(), e)) return fail(error, DIR_ALLOC_FAILED), nullptr;
    node->takeCard(card);
    node->setOwner(user);
    USRPeopleNode* raw = node.get();
    std::unique_ptr<USRNode> owned = std::move(node);
    if (!context.people().add(owned, e)) return fail(error, DIR_ALLOC_FAILED), nullptr;
    error = 0;
    return raw;
}

bool USRPeopleNode::read(long& error) {
    std::string user = owner_;
    auto* nm = dynamic_cast<const DIRNmDirectoryAddress*>(address());
    if (user.empty() && nm) user = nm->nmName;
    DIRUserBusinessCard card;
    DIRAddressPtr address;
    long e = 0;
    if (!context().dir().getBusinessCardInfo(user, card, address, e))
        return fail(error, cardCode(e));
    takeCard(card);
    error = 0;
    return true;
}

bool USRPeopleNode::write(long& error) {
    // The store writes the login user's card: another user's card must
    // never land there.
    std::string user, holder = owner_;
    long e = 0;
    if (!context().loginName(user, e)) return fail(error, e);
    auto* nm = dynamic_cast<const DIRNmDirectoryAddress*>(address());
    if (holder.empty() && nm) holder = nm->nmName;
    if (!holder.empty() && !USRSameName(holder, user)) return fail(error, DIR_ACCESS_DENIED);
    if (!context().dir().setBusinessCardInfo(makeCard(), e)) return fail(error, e);
    clearChangeFlags();
    error = 0;
    return true;
}

bool USRPeopleNode::activate(USRNode* action, long& error) {
    USRActivation* how = context().activation();
    if (!how) return fail(error, DIR_NOT_SUPPORTED);
    return action ? how->runAction(*action, this, error) : how->openDefault(texts_[0], error);
}

bool USRPeopleNode::createEnvironment(const std::string& user, long& error) {
    DIRAddressPtr address;
    long e = 0;
    (void)user; // the store creates the environment of the login user
    if (!context().dir().createPathwendEnvironment(USRString(kRootFolderName), makeCard(), address,
                                                   e))
        return fail(error, e);
    if (!setAddress(address.get(), e)) return fail(error, e);
    if (owner_.empty()) owner_ = user;
    clearChangeFlags();
    error = 0;
    return true;
}

bool USRPeopleNode::edit(bool editable, bool firstRun) {
    USRPrompter& prompter = context().prompter();
    QVariantMap v;
    if (owner_.empty()) {
        long e = 0;
        if (!context().loginName(owner_, e)) {
            prompter.showError(e);
            return false;
        }
    }
    QStringList texts;
    for (const std::string& t : texts_)
        texts << QString::fromStdString(t);
    v["texts"] = texts;
    v["logo"] = QByteArray(reinterpret_cast<const char*>(logo_.data()), qsizetype(logo_.size()));
    v["owner"] = QString::fromStdString(owner_);
    v["firstRun"] = firstRun;
    if (!editable) {
        prompter.runDialog(USRDialog::BusinessCardView, v);
        return true;
    }
    for (;;) {
        QVariantMap shown = v;
        USRReply reply = prompter.runDialog(USRDialog::BusinessCard, shown);
        QStringList out = shown["texts"].toStringList();
        bool named = !out.isEmpty() && !out[0].trimmed().isEmpty();
        if (reply != USR_REPLY_OK) {
            if (!firstRun) return false;
            if (!named) return false; // the first run is abandoned
            continue;                 // a first run ends only with OK and a name
        }
        if (!named) {
            prompter.showMessage(USRString(134), USRIcon::Exclamation);
            continue;
        }
        for (int i = 0; i < kTexts && i < out.size(); ++i)
            setText(i, out[i].toStdString());
        QByteArray logo = shown["logo"].toByteArray();
        setLogo(std::vector<uint8_t>(logo.begin(), logo.end()));
        break;
    }
    long e = 0;
    bool ok = firstRun ? createEnvironment(owner_, e) : write(e);
    if (!ok) {
        prompter.showError(e);
        return false;
    }
    return true;
}
