// ConfigStore: being written.
