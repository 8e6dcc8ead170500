#pragma once

// What the configurations page may start on its unit. The page asks its questions and shows
// nothing of the exchange itself; the unit's side runs the operation, each on the unit the user was
// asked about: `identification` is the link's identification count the page asked under, and an
// operation meets another unit (or none) there, it sends nothing and says so.
class ConfigOperations {
public:
    virtual ~ConfigOperations() = default;
    // The unit's configuration into the image the pages show.
    virtual void read(int identification) = 0;
    // The image into the unit, with the unit's own configuration kept first and checked after.
    virtual void write(int identification) = 0;
};
