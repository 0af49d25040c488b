#pragma once

#include <memory>
#include <string>

namespace clipora::platform {

class SearchBar;

// Told of a search bar's typing and its keyboard's search button. Every
// operation is optional.
class SearchBarDelegate {
public:
    virtual ~SearchBarDelegate() = default;
    virtual void searchBarTextDidChange(const std::shared_ptr<SearchBar>& searchBar, const std::string& text) {
        (void)searchBar, (void)text;
    }
    virtual void searchBarSearchButtonClicked(const std::shared_ptr<SearchBar>& searchBar) { (void)searchBar; }
};

}  // namespace clipora::platform
