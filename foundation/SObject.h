// Common base of the library's classes: every object can name its class.
#pragma once

class SObject {
public:
    virtual ~SObject() = default;
    // The class name as the messages of the library report it.
    virtual const char* getClassName() const { return "SObject"; }
};

// Declares the class-name operation of a library class.
#define S_CLASSNAME(Name) \
    const char* getClassName() const override { return #Name; }
