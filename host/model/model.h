// The simulated project: plain data with its own invariants.
//
// - Every item and every layer has an id that is unique in the project and is
//   never reused (nextId only grows), so handles can name them safely and an
//   undo snapshot restores the very same ids.
// - A layer belongs to exactly one composition; its parent (if any) is another
//   layer of the same composition, and parent chains have no cycles.
// - Items are kept in the order of the scripting engine's app.project.item()
//   numbering (1-based there, 0-based here); the root folder is not among them.
//
// Nothing here knows about the host's plug-in interface types.
#pragma once

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace host::model {

using Id = std::int32_t;
inline constexpr Id kNoId = 0;

// An exact time or ratio: num / den, den > 0, kept reduced.
struct Rational {
    std::int64_t num = 0;
    std::int64_t den = 1;

    static Rational of(std::int64_t n, std::int64_t d = 1);
    double seconds() const { return static_cast<double>(num) / static_cast<double>(den); }
    friend Rational operator+(Rational a, Rational b);
    friend Rational operator-(Rational a, Rational b);
    friend Rational operator*(Rational a, Rational b);
    friend Rational operator/(Rational a, Rational b);
    friend bool operator==(Rational a, Rational b);
    friend bool operator<(Rational a, Rational b);
    friend bool operator<=(Rational a, Rational b) { return !(b < a); }
    friend bool operator>(Rational a, Rational b) { return b < a; }
};
using Time = Rational;  // seconds

enum class StreamKind {  // what a stream's value holds; mirrors the host's stream types
    NoData,
    ThreeDSpatial,
    ThreeD,
    TwoDSpatial,
    TwoD,
    OneD,
    Color,
    Arbitrary,
    Marker,
    LayerId,
    MaskId,
    Mask,
    TextDocument,
};

enum class Interpolation { None, Linear, Bezier, Hold };

struct Ease {
    double speed = 0;
    double influence = 16.666666667;
    friend bool operator==(const Ease&, const Ease&) = default;
};

// Keyframe flags use the host's bit values so they pass through unchanged.
struct Keyframe {
    Time time;  // layer time
    std::vector<double> value;
    std::string text;  // text-document and arbitrary streams
    Interpolation inInterp = Interpolation::Linear;
    Interpolation outInterp = Interpolation::Linear;
    std::vector<Ease> inEase;  // one per temporal dimension
    std::vector<Ease> outEase;
    std::vector<double> inTangent;  // spatial streams only
    std::vector<double> outTangent;
    std::uint32_t flags = 0;
    friend bool operator==(const Keyframe&, const Keyframe&) = default;
};

struct Stream {
    std::string name;  // the property's shown name ("Position", "Opacity", ...)
    StreamKind kind = StreamKind::OneD;
    bool canVary = true;
    std::vector<double> value;  // held value when there are no keyframes
    std::string text;
    std::vector<Keyframe> keyframes;  // sorted by time
    std::string expression;
    bool expressionEnabled = true;
    friend bool operator==(const Stream&, const Stream&) = default;
};

struct Effect {
    Id id = kNoId;
    std::int32_t installedKey = 0;  // the kind of effect
    std::string matchName;          // e.g. "host.gaussian-blur" (see effects_catalog.h)
    std::string name;
    bool active = true;
    std::vector<Stream> params;  // index 0 is the effect's own (no-data) parameter
    friend bool operator==(const Effect&, const Effect&) = default;
};

struct Mask {
    Id id = kNoId;
    std::string name;
    std::vector<Stream> streams;
    friend bool operator==(const Mask&, const Mask&) = default;
};

// A marker on a layer (in layer time) or a composition (in its time), with
// the fields of the application's marker dialog.
struct Marker {
    Time time;
    Time duration;  // 0: a point in time
    std::string comment;
    std::string chapter;
    std::string url;
    std::string frameTarget;
    std::string cuePointName;
    bool eventCuePoint = false;  // false: a navigation cue point
    std::map<std::string, std::string> parameters;
    bool protectedRegion = false;  // composition markers
    friend bool operator==(const Marker&, const Marker&) = default;
};

enum class LayerKind { AV, Light, Camera, Text, Shape };

// Layer flag bits use the host's values.
namespace flag {
inline constexpr std::uint32_t kVideoActive = 0x1;
inline constexpr std::uint32_t kAudioActive = 0x2;
inline constexpr std::uint32_t kEffectsActive = 0x4;
inline constexpr std::uint32_t kLocked = 0x20;
inline constexpr std::uint32_t kShy = 0x40;
inline constexpr std::uint32_t kTimeRemapping = 0x400;
inline constexpr std::uint32_t k3D = 0x800;
}  // namespace flag

inline constexpr std::int32_t kNormalBlending = 2;

// Track-matte kinds use the host's numbers.
enum class TrackMatte : std::int32_t {
    None = 0,
    Alpha = 1,
    AlphaInverted = 2,
    Luma = 3,
    LumaInverted = 4
};

struct Layer {
    Id id = kNoId;
    LayerKind kind = LayerKind::AV;
    std::string ownName;  // empty: the layer shows its source's name
    std::string comment;  // the timeline's Comment column
    Id source = kNoId;    // AV layers: the comp or footage item shown
    bool isNull = false;  // an AV layer on a host-made solid, drawn as a null
    Time inPoint;         // layer time
    Time duration;        // layer time
    Time offset;          // composition time at which layer time 0 falls
    // Composition time = offset + stretch * layer time (negative: reversed).
    Rational stretch = Rational::of(1);
    std::uint32_t flags = flag::kVideoActive;
    // Blending uses the host's transfer-mode numbers (2: Normal).
    std::int32_t blendingMode = kNormalBlending;
    std::int32_t blendingFlags = 0;            // preserve alpha 0x1, randomize dissolve 0x2
    TrackMatte trackMatte = TrackMatte::None;  // matted by the layer directly above
    Id parent = kNoId;                         // a layer of the same composition
    std::map<int, Stream> streams;             // by the host's layer-stream number
    // While Position's dimensions are separated: "X Position", "Y Position"
    // and "Z Position", which then hold its value and keyframes. Empty
    // otherwise.
    std::vector<Stream> positionFollowers;
    std::vector<Effect> effects;
    std::vector<Mask> masks;
    std::vector<Marker> markers;  // sorted by time
    friend bool operator==(const Layer&, const Layer&) = default;
};

// The layers of a composition, index 0 at the top of the stack. Each layer
// lives in an allocation of its own: moving a layer through the stack moves
// pointers rather than whole layers (reordering a big composition stays
// cheap), and a layer's address holds while others are added, moved or
// removed. It copies deeply and compares by value, like a vector of layers.
class LayerStack {
    using Slots = std::vector<std::unique_ptr<Layer>>;

public:
    template <class Value, class Base>
    class Iterator {
    public:
        using iterator_concept = std::random_access_iterator_tag;
        using iterator_category = std::random_access_iterator_tag;
        using value_type = Layer;
        using difference_type = std::ptrdiff_t;
        using pointer = Value*;
        using reference = Value&;

        Iterator() = default;
        explicit Iterator(Base base) : base_(base) {}
        // A mutable iterator converts to a constant one.
        template <class OtherValue, class OtherBase>
        requires std::is_convertible_v<OtherBase, Base> Iterator(
            const Iterator<OtherValue, OtherBase>& other)
            : base_(other.base()) {}

        Value& operator*() const { return **base_; }
        Value* operator->() const { return base_->get(); }
        Value& operator[](difference_type n) const { return *base_[n]; }
        Iterator& operator++() { return ++base_, *this; }
        Iterator operator++(int) { return Iterator(base_++); }
        Iterator& operator--() { return --base_, *this; }
        Iterator operator--(int) { return Iterator(base_--); }
        Iterator& operator+=(difference_type n) { return base_ += n, *this; }
        Iterator& operator-=(difference_type n) { return base_ -= n, *this; }
        friend Iterator operator+(Iterator it, difference_type n) { return it += n; }
        friend Iterator operator+(difference_type n, Iterator it) { return it += n; }
        friend Iterator operator-(Iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const Iterator& a, const Iterator& b) {
            return a.base_ - b.base_;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.base_ == b.base_; }
        friend auto operator<=>(const Iterator& a, const Iterator& b) {
            return a.base_ <=> b.base_;
        }
        Base base() const { return base_; }

    private:
        Base base_{};
    };
    using iterator = Iterator<Layer, Slots::iterator>;
    using const_iterator = Iterator<const Layer, Slots::const_iterator>;
    using value_type = Layer;
    using size_type = std::size_t;

    LayerStack() = default;
    LayerStack(const LayerStack& other) {
        slots_.reserve(other.size());
        ids_.reserve(other.size());
        for (const Layer& layer : other) push_back(layer);
    }
    LayerStack(LayerStack&&) noexcept = default;
    LayerStack& operator=(const LayerStack& other) {
        if (this != &other) *this = LayerStack(other);
        return *this;
    }
    LayerStack& operator=(LayerStack&&) noexcept = default;

    std::size_t size() const { return slots_.size(); }
    bool empty() const { return slots_.empty(); }
    Layer& operator[](std::size_t i) { return *slots_[i]; }
    const Layer& operator[](std::size_t i) const { return *slots_[i]; }
    Layer& at(std::size_t i) { return *slots_.at(i); }
    const Layer& at(std::size_t i) const { return *slots_.at(i); }
    Layer& front() { return *slots_.front(); }
    const Layer& front() const { return *slots_.front(); }
    Layer& back() { return *slots_.back(); }
    const Layer& back() const { return *slots_.back(); }
    iterator begin() { return iterator(slots_.begin()); }
    iterator end() { return iterator(slots_.end()); }
    const_iterator begin() const { return const_iterator(slots_.begin()); }
    const_iterator end() const { return const_iterator(slots_.end()); }

    void push_back(Layer layer) { insert(end(), std::move(layer)); }
    iterator insert(const_iterator at, Layer layer) {
        const auto index = at.base() - slots_.cbegin();
        ids_.insert(ids_.begin() + index, layer.id);
        return iterator(slots_.insert(at.base(), std::make_unique<Layer>(std::move(layer))));
    }
    iterator erase(const_iterator at) {
        ids_.erase(ids_.begin() + (at.base() - slots_.cbegin()));
        return iterator(slots_.erase(at.base()));
    }
    // Takes the layer at `from` out and puts it back at `to`; the layers
    // between shift by one place.
    void move(std::size_t from, std::size_t to) {
        move_in(slots_, from, to);
        move_in(ids_, from, to);
    }
    // The index of the layer with this id, looked for outwards from `hint`:
    // the cost follows how far the layer is from where it was last seen.
    std::optional<std::size_t> find_near(Id id, std::size_t hint) const {
        const std::size_t size = ids_.size();
        const std::size_t start = std::min(hint, size);
        for (std::size_t distance = 0; distance <= std::max(start, size - start); ++distance) {
            if (start + distance < size && ids_[start + distance] == id) {
                return checked(start + distance, id);
            }
            if (distance != 0 && distance <= start && ids_[start - distance] == id) {
                return checked(start - distance, id);
            }
        }
        return std::nullopt;
    }
    // The index of the layer at this address, if it is one of these.
    std::optional<std::size_t> index_of(const Layer* layer) const {
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            if (slots_[i].get() == layer) return i;
        }
        return std::nullopt;
    }

    friend bool operator==(const LayerStack& a, const LayerStack& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    template <class Vector>
    static void move_in(Vector& vector, std::size_t from, std::size_t to) {
        const auto first = vector.begin();
        if (from < to) {
            std::rotate(first + from, first + from + 1, first + to + 1);
        } else if (to < from) {
            std::rotate(first + to, first + from, first + from + 1);
        }
    }
    // The ids are a copy kept beside the layers for quick searching; a layer's
    // id changed by hand since it was added makes the copy wrong there, so a
    // match is confirmed against the layer itself.
    std::optional<std::size_t> checked(std::size_t index, Id id) const {
        return slots_[index]->id == id ? std::optional<std::size_t>(index) : std::nullopt;
    }

    Slots slots_;
    std::vector<Id> ids_;  // slots_[i]->id as it was when the layer was added
};

enum class SelectionKind { Layer, Mask, Effect, Stream, Keyframe };

struct SelectionEntry {
    SelectionKind kind = SelectionKind::Layer;
    Id layer = kNoId;
    std::int32_t index = 0;  // mask / effect / stream index
    std::int32_t sub = 0;    // keyframe index
    friend bool operator==(const SelectionEntry&, const SelectionEntry&) = default;
};

struct Composition {
    std::int32_t width = 1920;
    std::int32_t height = 1080;
    Rational pixelAspect = Rational::of(1);
    Rational frameRate = Rational::of(30);
    Time duration = Rational::of(10);
    std::vector<double> bgColor{0, 0, 0};  // red, green, blue in 0..1
    double shutterAngle = 180;             // degrees
    double shutterPhase = -90;             // degrees
    LayerStack layers;
    std::vector<SelectionEntry> selection;
    std::vector<Marker> markers;  // sorted by time
    friend bool operator==(const Composition&, const Composition&) = default;
};

enum class FootageKind { Solid, File, Placeholder };

struct Footage {
    FootageKind kind = FootageKind::Solid;
    std::int32_t width = 100;
    std::int32_t height = 100;
    Rational pixelAspect = Rational::of(1);
    Rational frameRate = Rational::of(30);
    Time duration;  // 0 for stills and solids
    std::vector<double> color{0, 0, 0};
    std::string path;
    bool hasAudio = false;  // gives its layers an audio-levels stream
    friend bool operator==(const Footage&, const Footage&) = default;
};

enum class ItemKind { Folder, Composition, Footage };

struct Item {
    Id id = kNoId;
    ItemKind kind = ItemKind::Folder;
    std::string name;
    Id folder = kNoId;      // the folder holding it; the root folder's id at top level
    bool selected = false;  // in the project panel
    std::optional<Composition> comp;
    std::optional<Footage> footage;
    friend bool operator==(const Item&, const Item&) = default;
};

// Where a layer is: its composition's index in Project::items, and its index
// among that composition's layers.
struct LayerPlace {
    std::size_t item = 0;
    std::size_t index = 0;
};

// Where a stream is, by ids and indexes that survive reordering: a layer's
// own stream (owner kNoId, index the layer-stream number), an effect's
// parameter or a mask's stream (owner the effect or mask, index in it).
struct ExpressionPlace {
    enum class Holder { Layer, Effect, Mask };
    Id layer = kNoId;
    Holder holder = Holder::Layer;
    Id owner = kNoId;
    int index = 0;
    LayerPlace lastSeen;  // where the layer was last found: a hint, checked on use
};

// Aids that spare look-ups a walk through the whole project, kept with it by
// the model's operations (project_ops.h, script_ops.h). They are no part of
// a project's value: a copy starts without them and any two compare equal.
class Lookups {
public:
    using Place = LayerPlace;
    Lookups() = default;
    Lookups(const Lookups&) {}
    Lookups(Lookups&&) noexcept = default;
    Lookups& operator=(const Lookups&) {
        *this = Lookups();
        return *this;
    }
    Lookups& operator=(Lookups&&) noexcept = default;
    friend bool operator==(const Lookups&, const Lookups&) { return true; }

    // Where each layer was last found, by id. Only a hint: every use checks
    // it against the project, which may change in any way meanwhile.
    std::unordered_map<Id, Place> layerPlaces;
    // The streams that hold an expression, in project order; the fix after a
    // rename reads no others. It may list a stream whose expression is gone,
    // never miss one that has one: a stream that gets one is added, and the
    // list is dropped whenever a layer is added.
    std::optional<std::vector<ExpressionPlace>> expressionStreams;
};

struct Project {
    std::string name = "Untitled Project";
    Id rootFolder = 1;
    Id nextId = 2;
    Id activeItem = kNoId;
    int bitsPerChannel = 8;  // 8, 16 or 32
    bool linearBlending = false;
    std::vector<Item> items;  // app.project.item() order, without the root folder
    mutable Lookups lookups;
    friend bool operator==(const Project&, const Project&) = default;
};

}  // namespace host::model
