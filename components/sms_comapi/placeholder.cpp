// replaced by the component
