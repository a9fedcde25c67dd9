// Id lists as the timeline holds them: copies share one array, equal lists
// made apart share one array too, and a list one id away from a recent one
// (a member's own wait list is the callees less that member; its cancel list
// is the members plus itself) is stored as that list and the one id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

namespace codec {

class IdList {
 public:
  struct Rep;

  // Reads through the list by position, whichever way it is stored.
  class const_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = int64_t;
    using difference_type = std::ptrdiff_t;
    using pointer = const int64_t*;
    using reference = int64_t;

    const_iterator() = default;
    const_iterator(const IdList* list, size_t i) : list_(list), i_(i) {}
    int64_t operator*() const { return (*list_)[i_]; }
    int64_t operator[](difference_type n) const { return (*list_)[offset(n)]; }
    const_iterator& operator++() { return ++i_, *this; }
    const_iterator operator++(int) { return {list_, i_++}; }
    const_iterator& operator--() { return --i_, *this; }
    const_iterator operator--(int) { return {list_, i_--}; }
    const_iterator& operator+=(difference_type n) { return i_ = offset(n), *this; }
    const_iterator& operator-=(difference_type n) { return i_ = offset(-n), *this; }
    friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
    friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
    friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
      return static_cast<difference_type>(a.i_) - static_cast<difference_type>(b.i_);
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) {
      return a.i_ == b.i_;
    }
    friend bool operator!=(const const_iterator& a, const const_iterator& b) {
      return a.i_ != b.i_;
    }
    friend bool operator<(const const_iterator& a, const const_iterator& b) { return a.i_ < b.i_; }
    friend bool operator>(const const_iterator& a, const const_iterator& b) { return a.i_ > b.i_; }
    friend bool operator<=(const const_iterator& a, const const_iterator& b) {
      return a.i_ <= b.i_;
    }
    friend bool operator>=(const const_iterator& a, const const_iterator& b) {
      return a.i_ >= b.i_;
    }

   private:
    size_t offset(difference_type n) const {
      return static_cast<size_t>(static_cast<difference_type>(i_) + n);
    }
    const IdList* list_ = nullptr;
    size_t i_ = 0;
  };
  using value_type = int64_t;
  using iterator = const_iterator;
  using size_type = size_t;

  IdList() = default;
  IdList(std::initializer_list<int64_t> ids);
  IdList(std::vector<int64_t> ids);  // NOLINT(google-explicit-constructor): a list is a list
  template <class It>
  IdList(It first, It last) : IdList(std::vector<int64_t>(first, last)) {}

  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }
  size_t size() const;
  bool empty() const { return size() == 0; }
  int64_t operator[](size_t i) const;
  // The ids as one array. A list stored as another plus or less one id is
  // spelled out on the first ask and kept with it.
  const std::vector<int64_t>& vec() const;
  operator const std::vector<int64_t>&() const {
    return vec();
  }  // NOLINT(google-explicit-constructor)

  void push_back(int64_t id);
  void clear() { rep_.reset(); }

  // True when both copies point at one stored list (for checks of the sharing).
  bool sharesWith(const IdList& other) const { return rep_ && rep_ == other.rep_; }
  // True when this list is stored as `other`'s array with one id added or
  // left out (for checks of the sharing).
  bool storedAsChangeOf(const IdList& other) const;
  bool equals(const std::vector<int64_t>& ids) const;

  friend bool operator==(const IdList& a, const IdList& b);
  friend bool operator!=(const IdList& a, const IdList& b) { return !(a == b); }

 private:
  friend IdList sharedIds(const std::vector<int64_t>& ids);
  explicit IdList(std::shared_ptr<Rep> rep) : rep_(std::move(rep)) {}

  std::shared_ptr<Rep> rep_;
};

// The list of ids, sharing the array of any list made on this thread that
// still lives and holds the same ids in the same order, or stored as one of
// the last long lists made here with one id added or left out. A call among
// thousands records a UI event, a delivery and a timer command per client,
// and their lists interleave (the call's members, the callees, one member's
// time-out), so each distinct list is stored once however the records
// alternate, and a member's own lists cost a few bytes rather than a copy.
IdList sharedIds(const std::vector<int64_t>& ids);

}  // namespace codec
