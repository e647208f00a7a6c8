// USRPeopleNode: a business card, the user's own (loaded at start-up) or
// another user's (a person item in a folder). Cards are registered in the
// context's people registry by the card's unique key. The store keeps no
// date for a card, so every read reads the card.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <namedir/records.h>

#include "nodes/usritemnode.h"

class USRPeopleNode : public USRItemNode {
  public:
    static constexpr int kTexts = DIRUserBusinessCard::kTextCount;

    explicit USRPeopleNode(USRContext& context);

    bool read(long& error) override;
    // Stores the card (only the login user's own card can be written).
    bool write(long& error) override;
    // Not editable: the card read-only. Editable: the card sheet until a
    // name is entered; in first-run mode the user's desktop environment is
    // created on OK, and Cancel with an empty name abandons (false).
    bool edit(bool editable, bool firstRun) override;
    // No action: the card's name handed to the system's open verb.
    bool activate(USRNode* action, long& error) override;

    // The card of `user` (54 when the user has none), registered.
    static USRPeopleNode* findCard(USRContext& context, const std::string& user, long& error);
    // Creates the login user's root, default folder, inbox and this card;
    // the node takes the card's address (the caller registers it).
    bool createEnvironment(const std::string& user, long& error);

    // Card texts 1..13 (index 0..12; text 1 is the person's name, text 8
    // holds two lines joined by "\n").
    const std::string& text(int index) const { return texts_.at(size_t(index)); }
    void setText(int index, const std::string& text);
    const std::vector<uint8_t>& logo() const { return logo_; }
    void setLogo(std::vector<uint8_t> logo) { logo_ = std::move(logo); }
    const std::string& owner() const { return owner_; }
    void setOwner(const std::string& owner) { owner_ = owner; }

    void takeCard(const DIRUserBusinessCard& card);
    DIRUserBusinessCard makeCard() const;

  private:
    std::array<std::string, kTexts> texts_;
    std::vector<uint8_t> logo_;
    std::string owner_;
};

std::unique_ptr<USRNode> USRMakePeopleNode(USRContext& context);
