#pragma once

#include <optional>
#include <vector>

namespace ravlen::toolkit {
class Image;
class ImageCollection;
} // namespace ravlen::toolkit

// "Sort Images": the images of a set ordered by slice location.
namespace ravlen::viewer {

// The key of a slice location: the value as the image overlay prints it ("#.00"), that text
// rounded to a whole number with halves to even (2.495 prints "2.50" and gives 2).
double sortKeyFromSliceLocation(double location);

// An image's key from its Slice Location (0020,1041); nothing when it has none or it is not a
// number.
std::optional<double> sliceSortKey(const toolkit::Image &image);

// The order of a set by keys: indexes into `keys`, by ascending key, equal keys in their
// original order. Images without a key are kept and come last, in their original order.
std::vector<int> sortOrder(const std::vector<std::optional<double>> &keys);

// Reorders the images of `images` in memory by slice location (nothing is read again).
void sortImages(toolkit::ImageCollection &images);

} // namespace ravlen::viewer
