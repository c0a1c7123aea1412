// Suite chained hash table. Buckets hold doubly linked chains; new keys go to
// the front of their chain; the table grows by about half when
// (entries / 4) * 5 exceeds the bucket count.
#ifndef H_CTL_HASH_H
#define H_CTL_HASH_H

#include <cstddef>
#include <string>
#include <utility>

struct CTL_STL_STRING_OPS {
  static size_t hash(const std::string& key);
  static bool equal(const std::string& a, const std::string& b) { return a == b; }
};

// The next bucket count for a table that must hold about `size` keys.
size_t ctl_hash_50_percent_increase_size(size_t size);

template <class KEY, class VALUE, class OPS>
class CTL_HASH {
 public:
  static const size_t INITIAL_BUCKETS = 61;

  struct NODE {
    KEY key;
    VALUE value;
    NODE* prev;
    NODE* next;
  };

  CTL_HASH() : m_bucket_count(INITIAL_BUCKETS), m_count(0) {
    m_buckets = new NODE*[m_bucket_count]();
  }
  ~CTL_HASH() {
    clear();
    delete[] m_buckets;
  }
  CTL_HASH(const CTL_HASH&) = delete;
  CTL_HASH& operator=(const CTL_HASH&) = delete;

  size_t size() const { return m_count; }
  size_t bucket_count() const { return m_bucket_count; }

  // False when the key is present already (the stored value stays).
  bool insert(const KEY& key, const VALUE& value) {
    size_t b = OPS::hash(key) % m_bucket_count;
    for (NODE* n = m_buckets[b]; n; n = n->next)
      if (OPS::equal(n->key, key)) return false;
    NODE* node = new NODE{key, value, nullptr, m_buckets[b]};
    if (m_buckets[b]) m_buckets[b]->prev = node;
    m_buckets[b] = node;
    ++m_count;
    size_t wanted = (m_count / 4) * 5;
    if (wanted > m_bucket_count) rehash(ctl_hash_50_percent_increase_size(wanted));
    return true;
  }

  // Pointer to the stored value, or null.
  VALUE* hash_search(const KEY& key) const {
    NODE* n = find_node(key);
    return n ? &n->value : nullptr;
  }
  // The stored value, or a value-initialised one (null for pointers).
  VALUE find(const KEY& key) const {
    NODE* n = find_node(key);
    return n ? n->value : VALUE();
  }

  bool erase(const KEY& key) {
    size_t b = OPS::hash(key) % m_bucket_count;
    NODE* n = m_buckets[b];
    while (n && !OPS::equal(n->key, key)) n = n->next;
    if (!n) return false;
    if (n->prev) n->prev->next = n->next; else m_buckets[b] = n->next;
    if (n->next) n->next->prev = n->prev;
    delete n;
    --m_count;
    return true;
  }

  void clear() {
    for (size_t b = 0; b < m_bucket_count; ++b) {
      NODE* n = m_buckets[b];
      while (n) {
        NODE* next = n->next;
        delete n;
        n = next;
      }
      m_buckets[b] = nullptr;
    }
    m_count = 0;
  }

  // Visits buckets in index order, each chain from its front.
  template <class F>
  void for_each(F f) const {
    for (size_t b = 0; b < m_bucket_count; ++b)
      for (NODE* n = m_buckets[b]; n; n = n->next) f(n->key, n->value);
  }

 private:
  NODE* find_node(const KEY& key) const {
    for (NODE* n = m_buckets[OPS::hash(key) % m_bucket_count]; n; n = n->next)
      if (OPS::equal(n->key, key)) return n;
    return nullptr;
  }

  void rehash(size_t new_count) {
    NODE** buckets = new NODE*[new_count]();
    for (size_t b = 0; b < m_bucket_count; ++b) {
      NODE* n = m_buckets[b];
      while (n) {
        NODE* next = n->next;
        size_t nb = OPS::hash(n->key) % new_count;
        n->prev = nullptr;
        n->next = buckets[nb];
        if (buckets[nb]) buckets[nb]->prev = n;
        buckets[nb] = n;
        n = next;
      }
    }
    delete[] m_buckets;
    m_buckets = buckets;
    m_bucket_count = new_count;
  }

  NODE** m_buckets;
  size_t m_bucket_count;
  size_t m_count;
};

#endif
