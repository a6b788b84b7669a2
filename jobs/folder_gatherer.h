#pragma once
// The folder list editor of the source folder selection: a modal list of
// folders with Add..., Remove, OK and Cancel. The host sets its title and
// prompt, fills it item by item, presents it, and afterwards reads whether the
// user accepted the edited list and which folders it holds. Add... asks the
// host for the new item.

#include <QDialog>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace rk::jobs {

// One folder of the list; `displayname` is the folder path the host set.
struct FolderItem {
    std::string displayname;
};

// The edited list, numbered from 1 in display order.
class FolderItems {
  public:
    std::size_t Count() const { return items_.size(); }
    // Item n, 1 <= n <= Count().
    const FolderItem& Item(std::size_t n) const { return items_.at(n - 1); }

  private:
    friend class FolderGatherer;
    std::vector<FolderItem> items_;
};

class FolderGatherer final : public QDialog {
  public:
    // The request for a new item: the host stores a new item in the argument,
    // or leaves it empty to add nothing.
    using NewItemRequest = std::function<void(std::optional<FolderItem>& item)>;

    explicit FolderGatherer(QWidget* parent = nullptr);

    void SetTitleText(std::string_view text);
    void SetPromptText(std::string_view text);
    // Empties the item list.
    void Clear();
    // Appends the item after those already in the list.
    void Add(const FolderItem& item);
    // The two presentation operations, called one after the other: Prepare
    // shows the items in the list and forgets any earlier confirmation;
    // Present lets the user edit the list and returns when it is closed.
    void Prepare();
    void Present();
    // True when the user accepted the edited list by OK.
    bool Confirmed() const { return confirmed_; }
    const FolderItems& Items() const { return items_; }

    NewItemRequest RequestNewItem;

    QLabel* lblPrompt;
    QListWidget* lstFolders;
    QPushButton* cmdAdd;
    QPushButton* cmdRemove;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void done(int result) override;

  private:
    FolderItems items_;
    bool confirmed_ = false;

    void cmdAdd_Click();
    void cmdRemove_Click();
    void ShowItems();
    void UpdateButtons();
};

} // namespace rk::jobs
