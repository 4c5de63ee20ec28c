// Why no list is offered for a picked piece. The command line says these
// as they are; the window says each in its own language, so every reason
// the picker can give is named here and nowhere else.
#pragma once

namespace kelvane::workbench::list_miss {

inline constexpr char kNotHtml[] = "the page could not be read as HTML";
inline constexpr char kNotInElement[] = "the piece is not inside an element";
inline constexpr char kNoList[] = "the piece is not part of a list of items with a value";
inline constexpr char kNotAsShown[] = "the lines found do not give every item as shown";
inline constexpr char kOwnTagsMiss[] = "the item's own tags do not find its text";
inline constexpr char kUntagged[] = "an element of the item has no tags of its own to find it by";
inline constexpr char kBracketInAttribute[] = "a start tag holds \">\" in an attribute";
inline constexpr char kNested[] = "an element of the item holds another of its kind";
inline constexpr char kTooFewItems[] = "fewer than two items have a name and a value";
inline constexpr char kStartTagsDiffer[] = "the items' start tags have too little in common";
inline constexpr char kStartTagShared[] = "the items' start tag also starts other elements";
inline constexpr char kNoStart[] = "nothing before the list finds its start";
inline constexpr char kNoEnd[] = "nothing after the list finds its end";
inline constexpr char kItemLacks[] = "an item lacks the name or the value the picked one has";
inline constexpr char kTooMuchMarkup[] = "an item's name or value holds too much markup to cut";

inline constexpr const char* kAll[] = {kNotHtml,
                                       kNotInElement,
                                       kNoList,
                                       kNotAsShown,
                                       kOwnTagsMiss,
                                       kUntagged,
                                       kBracketInAttribute,
                                       kNested,
                                       kTooFewItems,
                                       kStartTagsDiffer,
                                       kStartTagShared,
                                       kNoStart,
                                       kNoEnd,
                                       kItemLacks,
                                       kTooMuchMarkup};

// The lines fail on a variant of the page: this, then the variant's name.
inline constexpr char kFailsOnVariant[] = "the lines found fail on the page with ";
inline constexpr char kValuesChanged[] = "values changed";
inline constexpr char kIdsRenumbered[] = "ids renumbered";
inline constexpr char kItemAdded[] = "an item added";
inline constexpr char kItemRemoved[] = "an item removed";

inline constexpr const char* kVariants[] = {kValuesChanged, kIdsRenumbered, kItemAdded,
                                            kItemRemoved};

}  // namespace kelvane::workbench::list_miss
