// The widget toolkit.
