// fields.h - a record's field list, and the means to check that it names
// every field.
//
// Each record that advancing the show moves lists its fields once, beside
// its definition:
//   template <class Visit> void forEachField(const Record& r, Visit&& visit)
// Saving and restoring copy such a record whole; the state digest walks its
// list. aggregateFields<Record>() counts the fields the record itself has,
// so a test can hold the two together: a field added to the record and not
// to its list shows there, not as a seek that silently drifts.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace fields_detail {
// Stands for any one field in a brace initialiser.
struct AnyField {
    template <class U>
    operator U() const;
};
template <class T, class Seq, class = void>
struct Takes : std::false_type {};
template <class T, std::size_t... I>
struct Takes<T, std::index_sequence<I...>, std::void_t<decltype(T{(static_cast<void>(I), AnyField{})...})>>
    : std::true_type {};
template <class T, std::size_t N>
constexpr std::size_t countFrom() {
    if constexpr (N >= 256)
        return N;
    else if constexpr (Takes<T, std::make_index_sequence<N + 1>>::value)
        return countFrom<T, N + 1>();
    else
        return N;
}
}  // namespace fields_detail

// The fields of the plain record T: as many as its brace initialiser takes,
// so each element of an array field counts on its own.
template <class T>
constexpr std::size_t aggregateFields() {
    return fields_detail::countFrom<T, 0>();
}

// Counts a field list the same way: an array field by its elements.
struct FieldCounter {
    std::size_t count = 0;
    template <class T>
    void operator()(const T&) {
        ++count;
    }
    template <class T, std::size_t N>
    void operator()(const T (&)[N]) {
        count += N;
    }
};

// The length of a record's field list.
template <class T>
std::size_t fieldsListed(const T& record) {
    FieldCounter c;
    forEachField(record, c);
    return c.count;
}
